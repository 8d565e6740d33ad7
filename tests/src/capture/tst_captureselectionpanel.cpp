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
    /// Enters a value the way the presenter does: hours, then minutes, then seconds.
    void enter(const QString &prefix, int hours, int minutes, int seconds) const
    {
        const QString inc = QStringLiteral("inc") + prefix.at(0).toUpper() + prefix.mid(1)
                + QStringLiteral("Btn");
        const std::pair<const char *, int> steps[]
                = {{"Hour", hours}, {"Min", minutes}, {"Sec", seconds}};
        for (const auto &[unit, count] : steps) {
            if (count == 0)
                continue;
            QToolButton *field = button(qPrintable(prefix + QLatin1String(unit)));
            if (!field->isChecked())
                QTest::mouseClick(field, Qt::LeftButton);
            click(qPrintable(inc), count);
        }
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

    void stepsFollowTheCheckedUnitAndStopAtTheLimits()
    {
        Panel p(capture);
        openSettings(p);
        p.click("intervalHour");
        p.click("incIntervalBtn", 7);
        QCOMPARE(p.shown("interval"), QStringLiteral("06:00:00"));
        p.click("timeHour");
        p.click("incTimeBtn", 73);
        QCOMPARE(p.shown("time"), QStringLiteral("72:00:00"));
        p.click("timeSec");
        p.click("incTimeBtn");
        QCOMPARE(p.shown("time"), QStringLiteral("72:00:00"));
        QCOMPARE(params(), std::pair(259200u, 21600u));

        p.click("timeMin");
        p.click("decTimeBtn", 2);
        QCOMPARE(p.shown("time"), QStringLiteral("71:58:00"));
        p.click("timeSec");
        p.click("decTimeBtn", 3);
        QCOMPARE(p.shown("time"), QStringLiteral("71:57:57"));
        QCOMPARE(params().first, 259077u);
    }

    void decrementNeverGoesBelowZeroNorBelowItsUnit()
    {
        Panel p(capture);
        openSettings(p);
        p.click("decIntervalBtn");
        QCOMPARE(p.shown("interval"), QStringLiteral("00:00:00"));
        p.enter(QStringLiteral("interval"), 0, 1, 30);
        QCOMPARE(p.shown("interval"), QStringLiteral("00:01:30"));
        p.click("intervalHour");
        p.click("decIntervalBtn");
        QCOMPARE(p.shown("interval"), QStringLiteral("00:01:30"));
        p.click("intervalMin");
        p.click("decIntervalBtn", 2);
        QCOMPARE(p.shown("interval"), QStringLiteral("00:00:30"));
        // Unchecking the minute leaves no unit checked: steps of a second.
        p.click("intervalMin");
        p.click("decIntervalBtn", 31);
        QCOMPARE(p.shown("interval"), QStringLiteral("00:00:00"));
        QCOMPARE(params().second, 0u);
    }

    void unitsOfAnEditorExcludeEachOther()
    {
        Panel p(capture);
        openSettings(p);
        p.click("timeHour");
        p.click("intervalSec");
        p.click("timeMin");
        QVERIFY(!p.button("timeHour")->isChecked() && p.button("timeMin")->isChecked());
        // The other editor keeps its own unit.
        QVERIFY(p.button("intervalSec")->isChecked());
        p.click("timeSec");
        QVERIFY(!p.button("timeMin")->isChecked() && p.button("timeSec")->isChecked());
        p.click("timeSec");
        for (const char *name : {"timeHour", "timeMin", "timeSec"})
            QVERIFY2(!p.button(name)->isChecked(), name);
    }

    void valuesReadAsTwoDigitFields_data()
    {
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("single digits") << 1 << 2 << 3 << "01:02:03";
        QTest::newRow("two digits") << 12 << 34 << 56 << "12:34:56";
        QTest::newRow("seconds carry") << 0 << 0 << 61 << "00:01:01";
        QTest::newRow("minutes carry") << 0 << 60 << 9 << "01:00:09";
    }

    void valuesReadAsTwoDigitFields()
    {
        QFETCH(int, hours);
        QFETCH(int, minutes);
        QFETCH(int, seconds);
        QFETCH(QString, expected);
        Panel p(capture);
        openSettings(p);
        p.enter(QStringLiteral("time"), hours, minutes, seconds);
        QCOMPARE(p.shown("time"), expected);
        QCOMPARE(params().first, uint(hours * 3600 + minutes * 60 + seconds));
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
        p.enter(QStringLiteral("time"), 0, 0, time);
        p.enter(QStringLiteral("interval"), 0, 0, interval);
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
        p.enter(QStringLiteral("time"), 0, 0, 3);
        p.enter(QStringLiteral("interval"), 0, 0, 1);
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
        p.enter(QStringLiteral("time"), 0, 5, 0);
        p.enter(QStringLiteral("interval"), 0, 0, 1);
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
