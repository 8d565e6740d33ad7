#include <CaptureIntf.h>
#include <CaptureSelectionPanel.h>
#include <KivoscopeIntf.h>
#include <LongTimers.h>
#include <MessageBox.h>
#include <SettingIntf.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTime>
#include <QToolButton>

namespace {

/// The panel over the shared capture component, in a shown window.
struct Panel
{
    QWidget window;
    CaptureSelectionPanel *panel;

    explicit Panel(CaptureIntf *capture)
        : panel(new CaptureSelectionPanel(capture, &window))
    {
        window.show();
    }
    QToolButton *button(const char *name) const
    {
        return panel->findChild<QToolButton *>(QLatin1String(name));
    }
    QWidget *widget(const char *name) const
    {
        return panel->findChild<QWidget *>(QLatin1String(name));
    }
    QString progress() const
    {
        return panel->findChild<QLabel *>(QStringLiteral("recordingStatus"))->text();
    }
    void click(const char *name, int times = 1) const
    {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(button(name), Qt::LeftButton);
    }
    /// "hh:mm:ss" as the editor `prefix` ("time" or "interval") shows it.
    QString shown(const QString &prefix) const
    {
        QStringList parts;
        for (const char *unit : {"Hour", "Min", "Sec"})
            parts << button(qPrintable(prefix + QLatin1String(unit)))->text();
        return parts.join(QLatin1Char(':'));
    }
    /// Clicks the named buttons in turn; "name*n" clicks one n times.
    void play(const QString &script) const
    {
        for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            click(qPrintable(step.section(QLatin1Char('*'), 0, 0)),
                  step.contains(QLatin1Char('*')) ? step.section(QLatin1Char('*'), 1).toInt() : 1);
    }
    /// How many pictures the progress label says are taken.
    int captured() const { return progress().section(QLatin1Char('/'), 0, 0).toInt(); }
};

} // namespace

class TestCaptureSelectionPanel : public QObject
{
    Q_OBJECT

    KivoscopeIntf *kivoscope = nullptr;
    CaptureIntf *capture = nullptr;
    QList<MessageBox::Question> asked;
    QString media;

    uint status() const { return capture->getActionStatus(); }
    bool running() const { return status() & CaptureStatus::TimeLapseRunning; }
    std::pair<uint, uint> params() const
    {
        uint time = 0, interval = 0;
        capture->getTimeLapseParams(&time, &interval);
        return {time, interval};
    }
    void openSettings(const Panel &p)
    {
        p.click("timeLapesCaptureBtn");
        QVERIFY(p.widget("timeWidget")->isVisible() && p.widget("intervalWidget")->isVisible());
        QVERIFY(p.button("incTimeBtn")->isEnabled());
    }

private Q_SLOTS:
    void initTestCase()
    {
        kivoscope = KivoscopeIntf::getInstance();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
        capture = CaptureIntf::getInstance();
        QTRY_COMPARE_WITH_TIMEOUT(status(), CaptureStatus::Idle, 5000);
        SettingIntf *settings = SettingIntf::getInstance();
        media = settings->getSavePath();
        settings->release();
        // The pictures land in the test's own home, never the developer's.
        QVERIFY2(media.startsWith(VeloraTest::homePath()), qPrintable(media));
    }

    void cleanupTestCase()
    {
        capture->release();
        kivoscope->release();
    }

    void init()
    {
        asked.clear();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked << question;
            return MessageBox::defaultAnswer(question);
        });
        QDir(media).removeRecursively();
        QDir().mkpath(media);
    }

    void cleanup()
    {
        // Each test starts from an idle component, whatever the last one left running or open.
        if (running())
            capture->stopTimeLapseCapture();
        if (status() & CaptureStatus::TimeLapseSettingsShown)
            capture->toggleTimeLapseSettings();
        capture->setTimeLapseParams(0, 0);
        LongTimers::setMillisecondsPerSecond(1000);
        MessageBox::setAnswerer({});
    }

    // --- What the action status lets the presenter press -----------------------------------

    void statusDecidesTheControls_data()
    {
        QTest::addColumn<uint>("status");
        // Enabled: Desktop, doc Camera, Time lapse, the ten Editing controls, Start/stop; then
        // shown: Editors, Start/stop, Progress; last whether start/stop is Checked.
        QTest::addColumn<QString>("expected");
        QTest::newRow("busy") << 0x000u << "----- ----";
        QTest::newRow("desktop only") << 0x001u << "D---- ----";
        QTest::newRow("idle") << 0x007u << "DCT-- ----";
        QTest::newRow("editing") << 0x03Cu << "--TE- ES--";
        QTest::newRow("editing, valid") << 0x07Cu << "--TES ES--";
        QTest::newRow("running") << 0x188u << "----S ESPC";
        QTest::newRow("running, no progress") << 0x088u << "----S ES-C";
    }

    void statusDecidesTheControls()
    {
        QFETCH(uint, status);
        QFETCH(QString, expected);
        Panel p(capture);
        p.panel->updateUIWithActionStatus(status);
        const auto letter = [](bool on, char c) {
            return on ? QLatin1Char(c) : QLatin1Char('-');
        };
        // The ten editing controls go together.
        const bool editable = p.button("decTimeBtn")->isEnabled();
        for (const char *name : {"timeHour", "timeMin", "timeSec", "incTimeBtn", "decIntervalBtn",
                                 "intervalHour", "intervalMin", "intervalSec", "incIntervalBtn"})
            QVERIFY2(p.button(name)->isEnabled() == editable, name);
        QCOMPARE(p.widget("timeWidget")->isVisible(), p.widget("intervalWidget")->isVisible());
        QToolButton *startStop = p.button("startStopBtn");
        const QString actual = QString(letter(p.button("fullScreenCaptureBtn")->isEnabled(), 'D'))
                + letter(p.button("docCamCaptureBtn")->isEnabled(), 'C')
                + letter(p.button("timeLapesCaptureBtn")->isEnabled(), 'T') + letter(editable, 'E')
                + letter(startStop->isEnabled(), 'S') + QLatin1Char(' ')
                + letter(p.widget("timeWidget")->isVisible(), 'E')
                + letter(startStop->isVisible(), 'S')
                + letter(p.widget("recordingStatus")->isVisible(), 'P')
                + letter(startStop->isChecked(), 'C');
        QCOMPARE(actual, expected);
    }

    void followsTheComponentFromTheStart()
    {
        Panel idle(capture);
        QVERIFY(idle.widget("timeWidget")->isHidden() && idle.button("startStopBtn")->isHidden());
        QVERIFY(idle.widget("recordingStatus")->isHidden());
        QVERIFY(idle.button("docCamCaptureBtn")->isEnabled());

        // A panel built while the settings are open shows them at once.
        QCOMPARE(capture->toggleTimeLapseSettings(), 0);
        Panel editing(capture);
        QVERIFY(editing.widget("timeWidget")->isVisible());
        QVERIFY(editing.button("startStopBtn")->isVisible());
        // And the first panel heard the change.
        QVERIFY(idle.widget("timeWidget")->isVisible());
        editing.click("timeLapesCaptureBtn");
        QVERIFY(idle.widget("timeWidget")->isHidden() && editing.widget("timeWidget")->isHidden());
    }

    // --- Editing the time and the interval ---------------------------------------------------

    void editorsStepByTheCheckedUnitWithinTheLimits_data()
    {
        // "clicks on the open settings => time interval [checked unit buttons]".
        QTest::addColumn<QString>("script");
        QTest::newRow("interval stops at six hours")
                << "intervalHour incIntervalBtn*7 => 00:00:00 06:00:00 intervalHour";
        QTest::newRow("time stops at 72 hours, seconds too")
                << "timeHour incTimeBtn*73 timeSec incTimeBtn => 72:00:00 00:00:00 timeSec";
        QTest::newRow("down from the limit by minutes, then seconds")
                << "timeHour incTimeBtn*72 timeMin decTimeBtn*2 timeSec decTimeBtn*3 => 71:57:57 "
                   "00:00:00 timeSec";
        QTest::newRow("nothing below zero") << "decIntervalBtn => 00:00:00 00:00:00";
        QTest::newRow("no step below the checked unit")
                << "intervalMin incIntervalBtn intervalSec incIntervalBtn*30 intervalHour "
                   "decIntervalBtn => 00:00:00 00:01:30 intervalHour";
        QTest::newRow("no unit checked steps seconds")
                << "intervalMin incIntervalBtn*2 decIntervalBtn intervalMin decIntervalBtn*31 => "
                   "00:00:00 00:00:29";
        QTest::newRow("units of one editor exclude each other, not the other's")
                << "timeHour intervalSec timeMin => 00:00:00 00:00:00 timeMin intervalSec";
        QTest::newRow("single digits") << "timeHour incTimeBtn timeMin incTimeBtn*2 timeSec "
                                          "incTimeBtn*3 => 01:02:03 00:00:00 timeSec";
        QTest::newRow("two digits") << "timeHour incTimeBtn*12 timeMin incTimeBtn*34 timeSec "
                                       "incTimeBtn*56 => 12:34:56 00:00:00 timeSec";
        QTest::newRow("seconds carry") << "timeSec incTimeBtn*61 => 00:01:01 00:00:00 timeSec";
        QTest::newRow("minutes carry")
                << "timeMin incTimeBtn*60 timeSec incTimeBtn*9 => 01:00:09 00:00:00 timeSec";
    }

    void editorsStepByTheCheckedUnitWithinTheLimits()
    {
        QFETCH(QString, script);
        Panel p(capture);
        openSettings(p);
        p.play(script.section(QStringLiteral(" => "), 0, 0));
        const QStringList expected = script.section(QStringLiteral(" => "), 1).split(u' ');
        QCOMPARE(p.shown(QStringLiteral("time")), expected[0]);
        QCOMPARE(p.shown(QStringLiteral("interval")), expected[1]);
        QStringList checked;
        for (const char *name :
             {"timeHour", "timeMin", "timeSec", "intervalHour", "intervalMin", "intervalSec"})
            if (p.button(name)->isChecked())
                checked << QLatin1String(name);
        QCOMPARE(checked, expected.mid(2));
        // The component holds what the editors show.
        const auto seconds = [](const QString &hms) {
            const QStringList f = hms.split(u':');
            return uint(f[0].toInt() * 3600 + f[1].toInt() * 60 + f[2].toInt());
        };
        QCOMPARE(params(), std::pair(seconds(expected[0]), seconds(expected[1])));
    }

    // --- Starting, running and stopping a time lapse -----------------------------------------

    void startsOnlyWhatCanRun_data()
    {
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("message");
        QTest::newRow("no interval") << 5 << 0 << "Time & Interval can not be 0.";
        QTest::newRow("no time") << 0 << 5 << "Time & Interval can not be 0.";
        QTest::newRow("interval longer") << 2 << 5 << "Time can not less than interval.";
        QTest::newRow("interval as long") << 2 << 2 << "";
    }

    void startsOnlyWhatCanRun()
    {
        QFETCH(int, time);
        QFETCH(int, interval);
        QFETCH(QString, message);
        Panel p(capture);
        openSettings(p);
        p.play(QStringLiteral("timeSec incTimeBtn*%1 intervalSec incIntervalBtn*%2")
                       .arg(time)
                       .arg(interval));
        // As a click would: the button pressed first, then the slot.
        p.button("startStopBtn")->setChecked(true);
        p.panel->startStopTimeLapesCapture(true);
        if (message.isEmpty()) {
            // A series as long as its interval is two pictures, one at each end.
            QVERIFY(asked.isEmpty());
            QVERIFY(running() && p.button("startStopBtn")->isChecked());
            QCOMPARE(p.progress(), QStringLiteral("1/ 2"));
            return;
        }
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().title, QStringLiteral("Velora"));
        QCOMPARE(asked.first().text, message);
        QVERIFY(!p.button("startStopBtn")->isChecked());
        QVERIFY(!running());
        QVERIFY(p.progress().isEmpty());
        // What was entered stays, for the presenter to correct.
        QCOMPARE(p.shown("time"), QTime(0, 0).addSecs(time).toString(QStringLiteral("HH:mm:ss")));
        QCOMPARE(p.shown("interval"),
                 QTime(0, 0).addSecs(interval).toString(QStringLiteral("HH:mm:ss")));
    }

    void timeLapseRunsToItsEnd()
    {
        LongTimers::setMillisecondsPerSecond(20);
        Panel p(capture);
        QSignalSpy completed(capture, &CaptureIntf::timeLapseImageCaptureCompleted);
        openSettings(p);
        p.play(QStringLiteral("timeSec incTimeBtn*3 intervalSec incIntervalBtn"));
        QVERIFY(p.button("startStopBtn")->isEnabled());
        p.click("startStopBtn");
        QVERIFY(running());
        QVERIFY(p.button("startStopBtn")->isChecked());
        QVERIFY(p.widget("recordingStatus")->isVisible());
        for (const char *name : {"docCamCaptureBtn", "fullScreenCaptureBtn", "incTimeBtn"})
            QVERIFY2(!p.button(name)->isEnabled(), name);

        QTRY_COMPARE_WITH_TIMEOUT(p.progress(), QStringLiteral("4/ 4"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 5000);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked.first().text.contains(QStringLiteral("Completed")),
                 qPrintable(asked.first().text));
        QCOMPARE(p.shown("time"), QStringLiteral("00:00:00"));
        QCOMPARE(p.shown("interval"), QStringLiteral("00:00:00"));
        QVERIFY(!p.button("timeSec")->isChecked() && !p.button("intervalSec")->isChecked());
        QVERIFY(p.button("startStopBtn")->isHidden() && p.widget("timeWidget")->isHidden());

        const auto files = completed.first().first().value<QList<QString>>();
        QCOMPARE(files.size(), 4);
        for (const QString &file : files)
            QVERIFY2(QFileInfo(file).isFile() && file.startsWith(media), qPrintable(file));
        QCOMPARE(QFileInfo(files.last()).fileName(), QStringLiteral("4.jpg"));
    }

    void stoppingMidSeriesStopsTheComponent()
    {
        LongTimers::setMillisecondsPerSecond(20);
        Panel p(capture);
        QSignalSpy aborted(capture, &CaptureIntf::timeLapseImageCaptureAborted);
        openSettings(p);
        p.play(QStringLiteral("timeMin incTimeBtn*5 intervalSec incIntervalBtn"));
        p.click("startStopBtn");
        QTRY_VERIFY_WITH_TIMEOUT(p.captured() >= 3, 5000);
        QVERIFY(p.progress().endsWith(QStringLiteral("/ 301")));
        p.click("startStopBtn");
        QVERIFY(p.captured() < 301);
        QVERIFY(!running());
        QCOMPARE(aborted.size(), 1);
        QCOMPARE(aborted.first().at(1).toInt(), TimeLapseAbort::StoppedByUser);
        QVERIFY(!p.button("startStopBtn")->isChecked());
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked.first().text.contains(QStringLiteral("Interrupted")),
                 qPrintable(asked.first().text));
        // Back in the settings with nothing chosen, and nothing to start until values are.
        QVERIFY(p.widget("timeWidget")->isVisible() && p.button("incTimeBtn")->isEnabled());
        QCOMPARE(p.shown("time"), QStringLiteral("00:00:00"));
        QCOMPARE(p.shown("interval"), QStringLiteral("00:00:00"));
        QCOMPARE(params(), std::pair(0u, 0u));
        QVERIFY(!p.button("startStopBtn")->isEnabled());
    }

    // --- Still pictures ------------------------------------------------------------------------

    void stillPicturesGoToTheMediaFolder()
    {
        Panel p(capture);
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktop(capture, &CaptureIntf::fullScreenImageCaptured);
        p.click("docCamCaptureBtn");
        QTRY_COMPARE_WITH_TIMEOUT(camera.size(), 1, 5000);
        p.click("fullScreenCaptureBtn");
        QCOMPARE(desktop.size(), 1);
        for (const QString &file :
             {camera.first().first().toString(), desktop.first().first().toString()})
            QVERIFY2(QFileInfo(file).isFile() && file.startsWith(media), qPrintable(file));
    }

    void noCameraPictureWhileTheCameraIsFrozen()
    {
        Panel p(capture);
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QCOMPARE(kivoscope->toggleFreeze(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!p.button("docCamCaptureBtn")->isEnabled(), 5000);
        // A click queued before the freeze arrives after it.
        p.panel->docCamCapture();
        QVERIFY(camera.isEmpty());
        QVERIFY(QDir(media).isEmpty());
        QCOMPARE(kivoscope->toggleFreeze(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.button("docCamCaptureBtn")->isEnabled(), 5000);
        p.panel->docCamCapture();
        QTRY_COMPARE_WITH_TIMEOUT(camera.size(), 1, 5000);
    }
};

VELORA_TEST_MAIN(TestCaptureSelectionPanel)
#include "tst_captureselectionpanel.moc"
