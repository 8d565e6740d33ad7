#include <CameraWidget.h>
#include <CaptureImpl.h>
#include <CaptureIntf.h>
#include <CaptureSelectionPanel.h>
#include <KivoSystem.h>
#include <KivoscopeIntf.h>
#include <LongTimers.h>
#include <MessageBox.h>
#include <SettingImpl.h>
#include <SettingIntf.h>
#include <SimulatedCameras.h>
#include <VeloraTest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

const QString NotSaved = QStringLiteral("The captured image could not be saved.");

/// The largest average difference of one colour channel between two pictures of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double channels[3] = {};
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            for (int shift : {0, 8, 16})
                channels[shift / 8] += std::abs(int(x.pixel(column, row) >> shift & 0xff)
                                                - int(y.pixel(column, row) >> shift & 0xff));
        }
    }
    return *std::max_element(channels, channels + 3) / (double(x.width()) * x.height());
}

/// Every file below `folder`, temporary and hidden ones too, sorted.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator found(folder, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (found.hasNext())
        files << found.next();
    files.sort();
    return files;
}

/// How many playback streams this test program has open on the sound server (PULSE_SERVER, set
/// by ctest's PulseAudio fixture), or -1 when the server does not answer.
int ownPlaybackStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
        return -1;
    const QString owner = QStringLiteral("application.process.id = \"%1\"")
                                  .arg(QCoreApplication::applicationPid());
    return QString::fromLocal8Bit(pactl.readAllStandardOutput()).count(owner);
}

/// The capture panel over the shared component, in a shown window.
struct Panel
{
    QWidget window;
    CaptureSelectionPanel *panel;

    explicit Panel(CaptureIntf *capture)
        : panel(new CaptureSelectionPanel(capture, &window))
    {
        window.show();
    }
    template<class Control = QToolButton> Control *button(const char *name) const
    {
        return panel->findChild<Control *>(QLatin1String(name));
    }
    QString progress() const { return button<QLabel>("recordingStatus")->text(); }
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
        for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int times = step.contains(u'*') ? step.section(u'*', 1).toInt() : 1;
            for (int i = 0; i < times; ++i)
                QTest::mouseClick(button(qPrintable(step.section(u'*', 0, 0))), Qt::LeftButton);
        }
    }
};

} // namespace

/// The capture component and its panel against the simulated document camera.
class TestCapture : public QObject
{
    Q_OBJECT

    KivoscopeIntf *kivoscope = nullptr;
    CaptureIntf *capture = nullptr;
    QTemporaryDir media;
    QList<MessageBox::Question> asked;
    bool mounted = false;

    void useMediaFolder(const QString &folder)
    {
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setSavePath(folder);
        settings->release();
    }
    uint status() const { return capture->getActionStatus(); }
    std::pair<uint, uint> params() const
    {
        uint time = 0, interval = 0;
        capture->getTimeLapseParams(&time, &interval);
        return {time, interval};
    }

    /// In a copy of this program, makes the media folder read-only to an ordinary user
    /// ("read-only") or a volume of its own with these tmpfs options, and returns true; in this
    /// program, runs the current test in that copy and returns false.
    bool useOwnVolume(const QString &volume)
    {
        // Root may write anywhere: only an ordinary user meets a read-only folder. The volume
        // goes with the copy's private mount namespace.
        const bool readOnly = volume == QLatin1String("read-only");
        if (!VeloraTest::inRerun()) {
            const bool passed = VeloraTest::rerunCurrentTest(
                    readOnly ? VeloraTest::asNobody()
                             : QStringLiteral("unshare --mount --propagation private").split(u' '));
            QTest::qVerify(passed, "the copy passed", "", __FILE__, __LINE__);
            return false;
        }
        const auto readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        if (readOnly)
            return QTest::qVerify(geteuid() != 0 && QFile::setPermissions(media.path(), readable),
                                  "read-only", "", __FILE__, __LINE__);
        // The checks pass, as under a quota or with the inodes used up.
        KivoSystem::setFreeSpaceOverride([](const QString &) { return qint64(1) << 30; });
        const QStringList mount = QProcess::splitCommand(
                QStringLiteral("mount -t tmpfs -o %1 velora-test %2").arg(volume, media.path()));
        mounted = QProcess::execute(mount.first(), mount.mid(1)) == 0;
        return QTest::qVerify(mounted, "mount", "", __FILE__, __LINE__);
    }

    /// Checks that `path` holds the camera's live picture at `scale` times its size, within what
    /// JPEG, the scaling and the marker change.
    void verifyLivePicture(const QString &path, int scale = 1)
    {
        QImage live;
        QCOMPARE(kivoscope->grabCurrentFrame(live), 0);
        const QImage saved(path);
        QCOMPARE(saved.size(), live.size() * scale);
        QVERIFY2(meanDifference(
                         saved.scaled(live.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                         live)
                         < 6 + 2 * (scale - 1),
                 qPrintable(path));
    }

private Q_SLOTS:
    void initTestCase()
    {
        kivoscope = KivoscopeIntf::getInstance();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
        capture = CaptureIntf::getInstance();
        QCOMPARE(status(), 7u);
        // A second of a time lapse lasts 10 ms here.
        LongTimers::setMillisecondsPerSecond(10);
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
        QDir(media.path()).removeRecursively();
        QDir().mkpath(media.path());
        useMediaFolder(media.path() + QLatin1Char('/'));
        KivoSystem::setFreeSpaceOverride({});
    }

    void cleanup()
    {
        // Each test starts from an idle component, whatever the last one left running or open.
        if (status() & CaptureStatus::TimeLapseRunning)
            capture->stopTimeLapseCapture();
        if (status() & CaptureStatus::TimeLapseSettingsShown)
            capture->toggleTimeLapseSettings();
        capture->setTimeLapseParams(0, 0);
        MessageBox::setAnswerer({});
        if (std::exchange(mounted, false))
            QProcess::execute(QStringLiteral("umount"), {media.path()});
    }

    void stillPicturesAreSavedAnnouncedAndHeard()
    {
        // Exactly one byte more than the least free space is enough.
        KivoSystem::setFreeSpaceOverride(
                [](const QString &) { return CaptureImpl::MinimumFreeSpace + 1; });
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktop(capture, &CaptureIntf::fullScreenImageCaptured);
        // Nowhere to say where the picture went: nothing is taken.
        QCOMPARE(capture->captureVision(nullptr), -2000);
        QCOMPARE(capture->captureScreen(nullptr), -2000);
        QVERIFY(QFileInfo(static_cast<CaptureImpl *>(capture)->shutterSoundPath()).size() > 0);
        QVERIFY2(ownPlaybackStreams() >= 0, "No sound server at PULSE_SERVER, which ctest sets");
        QTRY_COMPARE_WITH_TIMEOUT(ownPlaybackStreams(), 0, 5000);
        QString first, screen;
        QCOMPARE(capture->captureVision(&first), 0);
        // Heard through the sound server: the quarter-second shutter sound keeps its stream open
        // for over a second.
        QTRY_VERIFY2_WITH_TIMEOUT(ownPlaybackStreams() > 0, "The shutter sound was not played",
                                  5000);
        QCOMPARE(capture->captureScreen(&screen), 0);
        Panel p(capture);
        p.play(QStringLiteral("docCamCaptureBtn fullScreenCaptureBtn"));
        QCOMPARE(camera.size(), 2);
        // None from the camera while it is frozen, even for a click queued before the freeze.
        QCOMPARE(kivoscope->toggleFreeze(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!p.button("docCamCaptureBtn")->isEnabled(), 5000);
        p.panel->docCamCapture();
        QCOMPARE(camera.size(), 2);
        QCOMPARE(kivoscope->toggleFreeze(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.button("docCamCaptureBtn")->isEnabled(), 5000);
        QCOMPARE(desktop.size(), 2);
        QCOMPARE(camera.at(0).at(0).toString(), first);
        QCOMPARE(desktop.at(0).at(0).toString(), screen);
        // The simulated camera's stills are twice its live size: the high-quality path was used.
        verifyLivePicture(first, 2);
        QCOMPARE(QImage(screen).size(), QGuiApplication::primaryScreen()->geometry().size());

        // Stills the camera sends by itself, as when the presenter presses its own button: nobody
        // here asked. The second comes while the first may still be on its way to disk.
        QCOMPARE(kivoscope->setColorEffect(1), 0);
        const auto colour = qScopeGuard([this] { kivoscope->setColorEffect(0); });
        QSignalSpy arrived(kivoscope, &KivoscopeIntf::hqImageCaptured);
        QCOMPARE(kivoscope->requestHQImage(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 5000);
        QCOMPARE(kivoscope->requestHQImage(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(camera.size(), 4, 5000);
        // Black and white: one channel in the file, not three equal ones.
        for (int i : {2, 3})
            QCOMPARE(QImage(camera.at(i).at(0).toString()).format(), QImage::Format_Grayscale8);

        // Taken within a second or two of each other, none replaces another.
        QStringList all{screen, desktop.at(1).at(0).toString()};
        for (const QList<QVariant> &announced : std::as_const(camera))
            all << announced.first().toString();
        const QRegularExpression name(QStringLiteral(
                "^Velora-\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d( \\(\\d+\\))?\\.jpg$"));
        for (const QString &path : std::as_const(all)) {
            QVERIFY(QFileInfo(path).fileName().contains(name));
            QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
        }
        all.sort();
        QCOMPARE(filesUnder(media.path()), all);
        QVERIFY(asked.isEmpty());
    }

    void unsavablePictureIsToldOnceAndLeavesNothing_data()
    {
        // Options of a volume of the media folder's own, "read-only", or empty for neither.
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason");
        const QString both = QStringLiteral("fullScreenCaptureBtn docCamCaptureBtn");
        const QString full = QString::fromLocal8Bit(strerror(ENOSPC));
        QTest::newRow("2 MB free") << QString() << both << "Not enough disk space!" << QString();
        QTest::newRow("read-only folder")
                << "read-only" << both
                << "Permission Denied! You do not have access to the directory." << QString();
        // The folder itself takes the one inode; a black desktop fits in one page.
        QTest::newRow("no inode left") << "nr_inodes=1" << both << NotSaved << full;
        QTest::newRow("full part-way") << "size=4k"
                                       << "docCamCaptureBtn" << NotSaved << full;
    }

    void unsavablePictureIsToldOnceAndLeavesNothing()
    {
        QFETCH(QString, volume);
        QFETCH(QString, clicks);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        if (volume.isEmpty())
            KivoSystem::setFreeSpaceOverride(
                    [](const QString &) { return CaptureImpl::MinimumFreeSpace; });
        else if (!useOwnVolume(volume))
            return;
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktop(capture, &CaptureIntf::fullScreenImageCaptured);
        Panel p(capture);
        p.play(clicks);
        // One box a click, the camera's still and its live-frame stand-in being one picture;
        // a failed write says what the system said.
        QCOMPARE(asked.size(), int(clicks.count(u' ')) + 1);
        for (const MessageBox::Question &box : std::as_const(asked)) {
            QCOMPARE(box.text, message);
            QVERIFY2(box.informativeText.contains(reason), qPrintable(box.informativeText));
        }
        QVERIFY(camera.isEmpty() && desktop.isEmpty());
        // Nothing written, not even a temporary file.
        QVERIFY(filesUnder(media.path()).isEmpty());
    }

    void timeLapseKeepsWhatItTookWhenAWriteFails()
    {
        // The folder, the series' folder and two pictures.
        if (!useOwnVolume(QStringLiteral("nr_inodes=4")))
            return;
        QSignalSpy aborted(capture, &CaptureIntf::timeLapseImageCaptureAborted);
        QCOMPARE(capture->setTimeLapseParams(600, 1), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(aborted.size(), 1, 5000);
        QCOMPARE(aborted.first().at(1).toInt(), -1);
        QCOMPARE(filesUnder(media.path()), aborted.first().at(0).toStringList());
        // Told once why, then what was kept.
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.first().text, NotSaved);
        QVERIFY(asked.last().text.contains(QStringLiteral("2 images have been captured")));
        QCOMPARE(status(), 7u);
    }

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
        QTest::newRow("seconds and minutes carry")
                << "timeMin incTimeBtn*61 timeSec incTimeBtn*61 => 01:02:01 00:00:00 timeSec";
    }

    void editorsStepByTheCheckedUnitWithinTheLimits()
    {
        QFETCH(QString, script);
        // A panel built while the settings are open shows them, ready to edit.
        QCOMPARE(capture->toggleTimeLapseSettings(), 0);
        Panel p(capture);
        QVERIFY(p.button("startStopBtn")->isVisible());
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

    void timeLapseRunsToItsEndOnlyWhatCanRun_data()
    {
        // Seconds entered; the pictures the series takes, or what its refusal says.
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("pictures");
        QTest::addColumn<QString>("refusal");
        const QString zero = QStringLiteral("Time & Interval can not be 0.");
        QTest::newRow("no interval") << 5 << 0 << 0 << zero;
        QTest::newRow("no time") << 0 << 5 << 0 << zero;
        QTest::newRow("interval longer") << 2 << 5 << 0 << "Time can not less than interval.";
        QTest::newRow("a minute every ten seconds") << 60 << 10 << 7 << QString();
        QTest::newRow("time equal to the interval") << 10 << 10 << 2 << QString();
    }

    void timeLapseRunsToItsEndOnlyWhatCanRun()
    {
        QFETCH(int, time);
        QFETCH(int, interval);
        QFETCH(int, pictures);
        QFETCH(QString, refusal);
        Panel p(capture);
        QSignalSpy completed(capture, &CaptureIntf::timeLapseImageCaptureCompleted);
        QSignalSpy shots(capture, &CaptureIntf::oneTimeLapseImageCaptured);
        p.play(QStringLiteral("timeLapesCaptureBtn timeSec incTimeBtn*%1 intervalSec "
                              "incIntervalBtn*%2")
                       .arg(time)
                       .arg(interval));
        if (!refusal.isEmpty()) {
            QVERIFY(!p.button("startStopBtn")->isEnabled());
            QCOMPARE(capture->startTimeLapseCapture(), -2000);
            // As a click would: the button pressed first, then the slot.
            p.button("startStopBtn")->setChecked(true);
            p.panel->startStopTimeLapesCapture(true);
            QCOMPARE(asked.size(), 1);
            QCOMPARE(asked.first().text, refusal);
            QVERIFY(!p.button("startStopBtn")->isChecked() && p.progress().isEmpty());
            QVERIFY(shots.isEmpty() && !(status() & CaptureStatus::TimeLapseRunning));
            // What was entered stays, for the presenter to correct.
            QCOMPARE(params(), std::pair(uint(time), uint(interval)));
            return;
        }
        p.play(QStringLiteral("startStopBtn"));
        // The first picture is taken at once; nothing else starts while the series runs.
        QCOMPARE(shots.size(), 1);
        QVERIFY(p.button("startStopBtn")->isChecked()
                && p.button<QWidget>("recordingStatus")->isVisible());
        for (const char *name : {"docCamCaptureBtn", "fullScreenCaptureBtn", "incTimeBtn"})
            QVERIFY2(!p.button(name)->isEnabled(), name);
        QString path;
        QCOMPARE(capture->captureVision(&path), -2001);
        QCOMPARE(capture->captureScreen(&path), -2001);
        QCOMPARE(capture->startTimeLapseCapture(), -2001);

        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 5000);
        QCOMPARE(p.progress(), QStringLiteral("%1/ %1").arg(pictures));
        const QStringList files = completed.first().first().toStringList();
        QCOMPARE(filesUnder(media.path()), files);
        QVERIFY(files.first().contains(QStringLiteral("/Velora-Time-Lapse_")));
        for (int i = 0; i < pictures; ++i) {
            QCOMPARE(QFileInfo(files.at(i)).fileName(), QStringLiteral("%1.jpg").arg(i + 1));
            verifyLivePicture(files.at(i));
        }
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().text.startsWith(
                QStringLiteral("<B>Time Lapse Capture Completed</B><br><br>%1 images have been "
                               "captured in <a href=")
                        .arg(pictures)));
        // The panel is closed and empty again.
        QCOMPARE(p.shown(QStringLiteral("time")) + p.shown(QStringLiteral("interval")),
                 QStringLiteral("00:00:0000:00:00"));
        QVERIFY(!p.button("timeSec")->isChecked() && !p.button("intervalSec")->isChecked());
        for (const char *name : {"startStopBtn", "timeWidget", "recordingStatus"})
            QVERIFY2(p.button<QWidget>(name)->isHidden(), name);
        QCOMPARE(status(), 7u);
    }

    void timeLapseEndsEarly()
    {
        // Hour-long intervals: only the first picture is taken before each series is ended.
        Panel p(capture);
        QSignalSpy aborted(capture, &CaptureIntf::timeLapseImageCaptureAborted);
        QSignalSpy shots(capture, &CaptureIntf::oneTimeLapseImageCaptured);
        LongTimers::setMillisecondsPerSecond(1000);
        const auto restore = qScopeGuard([] { LongTimers::setMillisecondsPerSecond(10); });

        // Stopped from the panel: the picture taken is reported, and the settings open again,
        // empty, with nothing to start.
        p.play(QStringLiteral("timeLapesCaptureBtn timeHour incTimeBtn*2 intervalHour "
                              "incIntervalBtn startStopBtn"));
        QCOMPARE(p.progress(), QStringLiteral("1/ 3"));
        p.play(QStringLiteral("startStopBtn"));
        QCOMPARE(aborted.last().at(1).toInt(), 1000);
        QCOMPARE(aborted.last().at(0).toStringList().size(), 1);
        QVERIFY(asked.last().text.contains(QStringLiteral("1 image has been captured in")));
        QVERIFY(p.button<QWidget>("timeWidget")->isVisible()
                && p.button("incTimeBtn")->isEnabled());
        QCOMPARE(params(), std::pair(0u, 0u));
        QVERIFY(!p.button("startStopBtn")->isEnabled() && !p.button("startStopBtn")->isChecked());

        // The folder deleted under the series: ended by the folder watch, not by a shot an hour
        // later, and nothing reported.
        QCOMPARE(capture->setTimeLapseParams(7200, 3600), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        const QString folder = QFileInfo(shots.last().first().toString()).path();
        QVERIFY(QDir(folder).removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(aborted.size(), 2, 5000);
        QCOMPARE(aborted.last().at(1).toInt(), -1);
        QVERIFY(aborted.last().at(0).toStringList().isEmpty());
        QVERIFY(asked.last().text.endsWith(
                QStringLiteral("Can't save image to destination folder.")));
        QVERIFY(!QFileInfo::exists(folder));

        // The presenter may leave during a series only by saying so.
        QCOMPARE(capture->confirmExit(), 0);
        QCOMPARE(capture->setTimeLapseParams(7200, 3600), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        // No, the question's default, keeps Velora running.
        QCOMPARE(capture->confirmExit(), -3000);
        QCOMPARE(asked.last().informativeText, QStringLiteral("Time Lapse Capture is on going!"));
        MessageBox::setAnswerer([](const MessageBox::Question &) { return QMessageBox::Yes; });
        QCOMPARE(capture->confirmExit(), 0);
        QCOMPARE(capture->stopTimeLapseCapture(), -2002);
        QCOMPARE(aborted.size(), 2);
    }

    void unpluggedCameraEndsTheSeriesAndStillsFallBack()
    {
        QSignalSpy aborted(capture, &CaptureIntf::timeLapseImageCaptureAborted);
        QSignalSpy shots(capture, &CaptureIntf::oneTimeLapseImageCaptured);
        QCOMPARE(capture->setTimeLapseParams(600, 1), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        QTRY_VERIFY(shots.size() >= 3);
        // The camera of the environment is the first simulated one.
        QVERIFY(SimulatedCameras::remove(QStringLiteral("sim:1")));
        // A shot that comes after the camera went but before its removal is noticed here (no
        // events are processed while waiting) ends the series as the notice would.
        QImage none;
        for (int i = 0; i < 5000 && kivoscope->grabCurrentFrame(none) != Result::NoDevice; ++i)
            QThread::msleep(1);
        QMetaObject::invokeMethod(capture, "timeLapseShot", Qt::DirectConnection);
        QTRY_COMPARE_WITH_TIMEOUT(aborted.size(), 1, 5000);
        QCOMPARE(aborted.first().at(1).toInt(), -1000);
        const QStringList files = aborted.first().at(0).toStringList();
        QVERIFY(files.size() >= 3);
        QCOMPARE(filesUnder(media.path()), files);
        QCOMPARE(capture->getActionStatus(), 1u);
        QString path;
        QCOMPARE(capture->captureVision(&path), -1000);

        // A camera whose stills never come: the live frame is taken instead.
        SimulatedCameras::Setup lost;
        lost.size = QSize(640, 480);
        lost.noStills = true;
        SimulatedCameras::add(lost);
        QTRY_VERIFY_WITH_TIMEOUT(capture->getActionStatus() == 7u, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!kivoscope->view()->frame().isNull(), 5000);
        QCOMPARE(capture->captureVision(&path), 0);
        verifyLivePicture(path);
    }
};

VELORA_TEST_MAIN(TestCapture)
#include "tst_capture.moc"
