#include <CameraWidget.h>
#include <CaptureImpl.h>
#include <CaptureIntf.h>
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
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

const char ChildVariable[] = "VELORA_CAPTURE_TEST_CHILD";

/// The largest average difference of one colour channel between two pictures of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double red = 0, green = 0, blue = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            red += std::abs(qRed(p[column]) - qRed(q[column]));
            green += std::abs(qGreen(p[column]) - qGreen(q[column]));
            blue += std::abs(qBlue(p[column]) - qBlue(q[column]));
        }
    }
    const double pixels = double(x.width()) * x.height();
    return std::max({red, green, blue}) / pixels;
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

/// Runs the current test function and data row again in a copy of this program started through
/// `wrapper` (as another user, in a mount namespace of its own); the copy's failure is this one's.
void runInChild(const QStringList &wrapper)
{
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (const char *tag = QTest::currentDataTag(); tag && *tag)
        function += QLatin1Char(':') + QString::fromUtf8(tag);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(wrapper.first(),
                wrapper.mid(1) << QCoreApplication::applicationFilePath() << function);
    QVERIFY2(child.waitForFinished(120000), qPrintable(child.errorString()));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
}

/// How many playback streams this test program has open on the sound server (PULSE_SERVER, set
/// by ctest's PulseAudio fixture), or -1 when the server does not answer.
int ownPlaybackStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000) || pactl.exitStatus() != QProcess::NormalExit
        || pactl.exitCode() != 0)
        return -1;
    const QString owner = QStringLiteral("application.process.id = \"%1\"")
                                  .arg(QCoreApplication::applicationPid());
    return QString::fromLocal8Bit(pactl.readAllStandardOutput()).count(owner);
}

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT

    KivoscopeIntf *kivoscope = nullptr;
    CaptureIntf *capture = nullptr;
    QTemporaryDir media;
    QList<MessageBox::Question> asked;

    void useMediaFolder(const QString &folder)
    {
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setSavePath(folder);
        settings->release();
    }

    /// Checks that `path` holds the camera's live picture: same size, same content within
    /// what JPEG and the moving marker change.
    void verifyLivePicture(const QString &path)
    {
        QImage live;
        QCOMPARE(kivoscope->grabCurrentFrame(live), 0);
        const QImage saved(path);
        QVERIFY2(!saved.isNull(), qPrintable(path));
        QCOMPARE(saved.size(), live.size());
        QVERIFY2(meanDifference(saved, live) < 6, qPrintable(path));
    }

private Q_SLOTS:
    void initTestCase()
    {
        kivoscope = KivoscopeIntf::getInstance();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
        capture = CaptureIntf::getInstance();
        QCOMPARE(capture->getActionStatus(), 7u);
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
        capture->setTimeLapseParams(0, 0);
    }

    void cleanup() { MessageBox::setAnswerer({}); }

    void stillPicturesAreSavedAndAnnounced()
    {
        // Exactly one byte more than the least free space is enough.
        KivoSystem::setFreeSpaceOverride(
                [](const QString &) { return CaptureImpl::MinimumFreeSpace + 1; });
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktop(capture, &CaptureIntf::fullScreenImageCaptured);
        QString first, second, screen;
        QCOMPARE(capture->captureVision(&first), 0);
        QCOMPARE(capture->captureVision(&second), 0);
        QCOMPARE(capture->captureScreen(&screen), 0);
        QCOMPARE(camera.size(), 2);
        QCOMPARE(camera.at(0).at(0).toString(), first);
        QCOMPARE(desktop.size(), 1);
        QCOMPARE(desktop.at(0).at(0).toString(), screen);

        // Taken within a second or two of each other, none replaces another.
        const QRegularExpression name(QStringLiteral(
                "^Velora-\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d( \\(\\d+\\))?\\.jpg$"));
        QCOMPARE(QSet<QString>({first, second, screen}).size(), 3);
        for (const QString &path : {first, second, screen}) {
            QVERIFY(QFileInfo(path).fileName().contains(name));
            QCOMPARE(QFileInfo(path).path() + QLatin1Char('/'), media.path() + QLatin1Char('/'));
            QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
        }
        QCOMPARE(filesUnder(media.path()).size(), 3);

        // The simulated camera's stills are twice its live size: the high-quality path was used.
        QCOMPARE(QImage(first).size(), QSize(1280, 960));
        QImage live;
        kivoscope->grabCurrentFrame(live);
        QVERIFY(meanDifference(QImage(first).scaled(live.size(), Qt::IgnoreAspectRatio,
                                                    Qt::SmoothTransformation),
                               live)
                < 8);
        const QSize desktopSize = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(QImage(screen).size(), desktopSize);
        QVERIFY(asked.isEmpty());
    }

    void shutterSoundPlaysThroughTheSoundServer()
    {
        const QString sound = static_cast<CaptureImpl *>(capture)->shutterSoundPath();
        QVERIFY2(QFileInfo(sound).size() > 0, qPrintable(sound));
        QVERIFY2(ownPlaybackStreams() >= 0,
                 qPrintable(QStringLiteral("No sound server answers at PULSE_SERVER=\"%1\"; "
                                           "ctest starts one for this test")
                                    .arg(qEnvironmentVariable("PULSE_SERVER"))));
        // Once the earlier pictures' sounds have ended, a stream can only be this picture's.
        QTRY_COMPARE_WITH_TIMEOUT(ownPlaybackStreams(), 0, 5000);
        QString path;
        QCOMPARE(capture->captureScreen(&path), 0);
        // The quarter-second sound keeps its stream open for over a second.
        QTRY_VERIFY2_WITH_TIMEOUT(ownPlaybackStreams() > 0, "The shutter sound was not played",
                                  5000);
    }

    void nullOutParameterDoesNothing()
    {
        QSignalSpy status(capture, &CaptureIntf::actionStatusChanged);
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktop(capture, &CaptureIntf::fullScreenImageCaptured);
        QCOMPARE(capture->captureVision(nullptr), -2000);
        QCOMPARE(capture->captureScreen(nullptr), -2000);
        uint time = 0;
        QCOMPARE(capture->getTimeLapseParams(&time, nullptr), -2000);
        QVERIFY(status.isEmpty() && camera.isEmpty() && desktop.isEmpty());
        QVERIFY(filesUnder(media.path()).isEmpty());
        QVERIFY(asked.isEmpty());
    }

    void blackAndWhiteStillsAreSavedGrey()
    {
        QCOMPARE(kivoscope->setColorEffect(1), 0);
        const auto colour = qScopeGuard([this] { kivoscope->setColorEffect(0); });
        QString path;
        QCOMPARE(capture->captureVision(&path), 0);
        const QImage saved(path);
        QCOMPARE(saved.size(), QSize(1280, 960));
        // One channel in the file, not three equal ones.
        QCOMPARE(saved.format(), QImage::Format_Grayscale8);
    }

    void stillsTheCameraSendsByItselfAreSavedAndAnnounced()
    {
        // As when the presenter presses the camera's own button: nobody here asked.
        QSignalSpy arrived(kivoscope, &KivoscopeIntf::hqImageCaptured);
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QCOMPARE(kivoscope->requestHQImage(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 5000);
        // The second comes while the first may still be on its way to disk, within the same
        // second: it must not take the first one's name.
        QCOMPARE(kivoscope->requestHQImage(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(camera.size(), 2, 5000);
        QCOMPARE(filesUnder(media.path()).size(), 2);
        for (const QList<QVariant> &announced : std::as_const(camera)) {
            const QString path = announced.first().toString();
            QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
            QCOMPARE(QImage(path).size(), QSize(1280, 960));
        }
        QVERIFY(asked.isEmpty());
    }

    void refusedFolderIsToldOncePerPicture_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("2 MB free") << "Not enough disk space!";
        QTest::newRow("read-only folder")
                << "Permission Denied! You do not have access to the directory.";
    }

    void refusedFolderIsToldOncePerPicture()
    {
        QFETCH(QString, message);
        if (message.startsWith(QStringLiteral("Permission"))) {
            // Root may write anywhere: only an ordinary user meets a read-only folder.
            if (qEnvironmentVariableIsEmpty(ChildVariable))
                return runInChild({QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                                   QStringLiteral("--regid=65534"),
                                   QStringLiteral("--clear-groups")});
            QVERIFY(geteuid() != 0);
            QVERIFY(QFile::setPermissions(media.path(),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else {
            KivoSystem::setFreeSpaceOverride(
                    [](const QString &) { return CaptureImpl::MinimumFreeSpace; });
        }
        QSignalSpy camera(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktop(capture, &CaptureIntf::fullScreenImageCaptured);
        QString path;
        QCOMPARE(capture->captureScreen(&path), -1);
        QCOMPARE(capture->captureVision(&path), -1);
        // One box a click: the camera's still and its live-frame stand-in are one picture.
        QCOMPARE(asked.size(), 2);
        for (const MessageBox::Question &box : std::as_const(asked))
            QCOMPARE(box.text, message);
        QVERIFY(camera.isEmpty() && desktop.isEmpty());
        QVERIFY(filesUnder(media.path()).isEmpty());
    }

    void failedWriteIsToldAndLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<int>("kept");
        // The folder itself is one inode, a time lapse's own folder another.
        QTest::newRow("desktop, no inode left") << "nr_inodes=1" << 0;
        QTest::newRow("camera, full part-way") << "size=16k" << 0;
        QTest::newRow("time lapse, inodes run out after two") << "nr_inodes=4" << 2;
    }

    void failedWriteIsToldAndLeavesNothingBehind()
    {
        QFETCH(QString, volume);
        QFETCH(int, kept);
        // A volume of its own, gone with the copy's private mount namespace.
        if (qEnvironmentVariableIsEmpty(ChildVariable))
            return runInChild({QStringLiteral("unshare"), QStringLiteral("--mount"),
                               QStringLiteral("--propagation"), QStringLiteral("private")});
        QCOMPARE(QProcess::execute(QStringLiteral("mount"),
                                   {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                    QStringLiteral("-o"), volume, QStringLiteral("velora-test"),
                                    media.path()}),
                 0);
        const auto unmount = qScopeGuard(
                [this] { QProcess::execute(QStringLiteral("umount"), {media.path()}); });
        // The checks pass, as under a quota or with the inodes used up.
        KivoSystem::setFreeSpaceOverride([](const QString &) { return qint64(1) << 30; });
        QSignalSpy aborted(capture, &CaptureIntf::timeLapseImageCaptureAborted);
        QString path;
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        if (tag.startsWith(QStringLiteral("desktop"))) {
            QCOMPARE(capture->captureScreen(&path), -1);
        } else if (tag.startsWith(QStringLiteral("camera"))) {
            QCOMPARE(capture->captureVision(&path), -1);
        } else {
            QCOMPARE(capture->setTimeLapseParams(600, 1), 0);
            QCOMPARE(capture->startTimeLapseCapture(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(aborted.size(), 1, 5000);
            QCOMPARE(aborted.first().at(1).toInt(), -1);
            // What was taken is kept; the result box says so after the warning.
            QCOMPARE(filesUnder(media.path()), aborted.first().at(0).toStringList());
            QVERIFY(asked.last().text.contains(QStringLiteral("2 images have been captured")));
            QCOMPARE(capture->getActionStatus(), 7u);
        }
        QCOMPARE(filesUnder(media.path()).size(), kept);
        const auto warnings = std::count_if(asked.begin(), asked.end(), [](const auto &box) {
            return box.title == QStringLiteral("Warning");
        });
        QCOMPARE(warnings, 1);
        QCOMPARE(asked.first().text, QStringLiteral("The captured image could not be saved."));
        QVERIFY2(asked.first().informativeText.contains(QString::fromLocal8Bit(strerror(ENOSPC))),
                 qPrintable(asked.first().informativeText));
    }

    void removedDriveFallsBackToTheDefaultFolder()
    {
        // A folder below an ordinary file can never be created, as on a drive that is gone.
        QFile blocker(media.filePath(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        useMediaFolder(blocker.fileName() + QStringLiteral("/Media/"));

        QString path;
        QCOMPARE(capture->captureVision(&path), 0);
        const QString fallback = SettingImpl::defaultSavePath();
        QCOMPARE(QFileInfo(path).path() + QLatin1Char('/'), fallback);
        SettingIntf *settings = SettingIntf::getInstance();
        QCOMPARE(settings->getSavePath(), fallback);
        settings->release();
        QFile::remove(path);
    }

    void timeLapseSeries_data()
    {
        QTest::addColumn<uint>("time");
        QTest::addColumn<uint>("interval");
        QTest::addColumn<int>("pictures");
        QTest::newRow("a minute every ten seconds") << 60u << 10u << 7;
        QTest::newRow("time equal to the interval") << 10u << 10u << 2;
    }

    void timeLapseSeries()
    {
        QFETCH(uint, time);
        QFETCH(uint, interval);
        QFETCH(int, pictures);
        QSignalSpy progress(capture, &CaptureIntf::timeLapseCaptureProgressUpdated);
        QSignalSpy completed(capture, &CaptureIntf::timeLapseImageCaptureCompleted);
        QSignalSpy shots(capture, &CaptureIntf::oneTimeLapseImageCaptured);

        QCOMPARE(capture->toggleTimeLapseSettings(), 0);
        QCOMPARE(capture->getActionStatus(), 0x3Cu);
        QCOMPARE(capture->setTimeLapseParams(time, interval), 0);
        QCOMPARE(capture->getActionStatus(), 0x3Cu | 0x40u);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        QCOMPARE(capture->getActionStatus(), 0x188u);
        // The first picture is taken at once; still pictures wait for the series.
        QCOMPARE(shots.size(), 1);
        QString path;
        QCOMPARE(capture->captureVision(&path), -2001);
        QCOMPARE(capture->captureScreen(&path), -2001);
        QCOMPARE(capture->startTimeLapseCapture(), -2001);

        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 5000);
        const QStringList files = completed.first().first().toStringList();
        QCOMPARE(files.size(), pictures);
        QCOMPARE(progress.last().at(0).toUInt(), uint(pictures));
        QCOMPARE(progress.last().at(1).toUInt(), uint(pictures));
        const QString folder = QFileInfo(files.first()).path();
        QVERIFY(QFileInfo(folder).fileName().startsWith(QStringLiteral("Velora-Time-Lapse_")));
        QStringList expected;
        for (int i = 1; i <= pictures; ++i)
            expected << QStringLiteral("%1.jpg").arg(i);
        QCOMPARE(filesUnder(folder).size(), pictures);
        for (int i = 0; i < pictures; ++i) {
            QCOMPARE(QFileInfo(files.at(i)).fileName(), expected.at(i));
            verifyLivePicture(files.at(i));
        }
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().text.startsWith(
                QStringLiteral("<B>Time Lapse Capture Completed</B><br><br>%1 images have been "
                               "captured in <a href=")
                        .arg(pictures)));
        QCOMPARE(capture->getActionStatus(), 7u);
    }

    void timeLapseRefusals()
    {
        QCOMPARE(capture->setTimeLapseParams(5, 10), 0);
        QVERIFY(!(capture->getActionStatus() & 0x40));
        QCOMPARE(capture->startTimeLapseCapture(), -2000);
        QCOMPARE(capture->setTimeLapseParams(10, 0), 0);
        QCOMPARE(capture->startTimeLapseCapture(), -2000);
        QCOMPARE(capture->stopTimeLapseCapture(), -2002);
        QVERIFY(filesUnder(media.path()).isEmpty());
    }

    void timeLapseEndsEarly()
    {
        // Long intervals: only the first picture is taken before each series is ended.
        LongTimers::setMillisecondsPerSecond(1000);
        const auto restore = qScopeGuard([] { LongTimers::setMillisecondsPerSecond(10); });
        QSignalSpy aborted(capture, &CaptureIntf::timeLapseImageCaptureAborted);
        QSignalSpy shots(capture, &CaptureIntf::oneTimeLapseImageCaptured);
        QCOMPARE(capture->setTimeLapseParams(600, 60), 0);

        // Stopped by the presenter: the one picture is reported.
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        QCOMPARE(capture->stopTimeLapseCapture(), 0);
        QCOMPARE(aborted.last().at(1).toInt(), 1000);
        QCOMPARE(aborted.last().at(0).toStringList().size(), 1);
        QVERIFY(asked.last().text.contains(QStringLiteral("1 image has been captured in")));

        // The folder deleted under the series: ended at the next look, nothing reported.
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        const QString folder = QFileInfo(shots.last().first().toString()).path();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QDir(folder).removeRecursively());
        // The folder is watched every 200 ms; the next shot would only come after a minute.
        QTRY_COMPARE_WITH_TIMEOUT(aborted.size(), 2, 1000);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(aborted.last().at(1).toInt(), -1);
        QVERIFY(aborted.last().at(0).toStringList().isEmpty());
        QVERIFY(asked.last().text.endsWith(
                QStringLiteral("Can't save image to destination folder.")));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(capture->getActionStatus(), 7u);

        // The presenter may leave during a series only by saying so.
        QCOMPARE(capture->confirmExit(), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked << question;
            return QMessageBox::No;
        });
        QCOMPARE(capture->confirmExit(), -3000);
        QCOMPARE(asked.last().informativeText, QStringLiteral("Time Lapse Capture is on going!"));
        MessageBox::setAnswerer([](const MessageBox::Question &) { return QMessageBox::Yes; });
        QCOMPARE(capture->confirmExit(), 0);
        QCOMPARE(capture->getActionStatus(), 7u);
        QCOMPARE(capture->stopTimeLapseCapture(), -2002);
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
        QTRY_COMPARE_WITH_TIMEOUT(aborted.size(), 1, 5000);
        QCOMPARE(aborted.first().at(1).toInt(), -1000);
        const QStringList files = aborted.first().at(0).toStringList();
        QVERIFY(files.size() >= 3);
        for (const QString &file : files)
            QVERIFY(QFileInfo::exists(file));
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
