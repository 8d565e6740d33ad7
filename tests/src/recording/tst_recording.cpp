// Desktop recordings as the recording component makes them: under a private Xvfb, with the
// private sound server's sine input, every file read back with libavformat.

#include "AVIRecordingCtrl.h"
#include "AVIRecordingThread.h"
#include "AVIRecovery.h"

#include <KivoSystem.h>
#include <MessageBox.h>
#include <RecordingProbe.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <VeloraTest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

namespace {

const QString Sine = QStringLiteral("Sine source at 440 Hz");
// In a copy of this program that records until it is killed: the folder it records into.
const char *const KilledFolderVariable = "VELORA_TEST_RECORD_UNTIL_KILLED";

QString recordingsFolder()
{
    return VeloraTest::homePath() + QStringLiteral("/Recordings");
}

QStringList answersGiven;

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        ComponentRef<SettingIntf> settings;
        settings->setSavePath(qEnvironmentVariableIsSet(KilledFolderVariable)
                                      ? qEnvironmentVariable(KilledFolderVariable)
                                      : recordingsFolder());
        MessageBox::setAnswerer([](const MessageBox::Question &question) {
            answersGiven.append(question.text);
            return QMessageBox::Ok;
        });
    }
    void frameSize_data();
    void frameSize();
    void refusals_data();
    void refusals();
    void recordsTheDesktopWithItsSound_data();
    void recordsTheDesktopWithItsSound();
    void aKilledRecordingPlaysAfterTheNextStart();
};

void TestRecording::frameSize_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("width");
    QTest::addColumn<QSize>("frame");
    QTest::newRow("1080p at 800") << QSize(1920, 1080) << 800 << QSize(800, 450);
    QTest::newRow("1080p at 640") << QSize(1920, 1080) << 640 << QSize(640, 360);
    QTest::newRow("odd height made even") << QSize(1280, 1024) << 1023 << QSize(1023, 818);
}

void TestRecording::frameSize()
{
    QFETCH(QSize, screen);
    QFETCH(int, width);
    QFETCH(QSize, frame);
    QCOMPARE(AVIRecordingCtrl::frameSize(screen, width, 0), frame);
}

void TestRecording::refusals_data()
{
    QTest::addColumn<qint64>("freeBytes");
    QTest::addColumn<bool>("wayland");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("said");
    QTest::newRow("a byte short") << qint64(10485759) << false
                                  << int(AVIRecordingThread::NotEnoughSpace)
                                  << QStringLiteral("Not enough memory for recording.");
    QTest::newRow("just enough") << qint64(10485760) << false << int(AVIRecordingThread::NoError)
                                 << QString();
    QTest::newRow("Wayland session")
            << qint64(-2) << true << int(AVIRecordingThread::CannotInitialise)
            << QStringLiteral("Wayland");
}

void TestRecording::refusals()
{
    QFETCH(qint64, freeBytes);
    QFETCH(bool, wayland);
    QFETCH(int, error);
    QFETCH(QString, said);
    if (freeBytes >= 0)
        KivoSystem::setFreeSpaceOverride([freeBytes](const QString &) { return freeBytes; });
    if (wayland)
        qputenv("WAYLAND_DISPLAY", "wayland-0");
    answersGiven.clear();
    AVIRecordingCtrl recording;
    const bool started = recording.start(640, 0, QString());
    KivoSystem::setFreeSpaceOverride({});
    qunsetenv("WAYLAND_DISPLAY");
    QCOMPARE(recording.lastError(), error);
    QCOMPARE(started, said.isEmpty());
    QCOMPARE(answersGiven.size(), said.isEmpty() ? 0 : 1);
    if (started) {
        // The disk fills up: the recording ends by itself and its file is closed and playable.
        KivoSystem::setFreeSpaceOverride([](const QString &) { return qint64(10485759); });
        QTRY_VERIFY(!recording.isRunning());
        KivoSystem::setFreeSpaceOverride({});
        QCOMPARE(recording.lastError(), int(AVIRecordingThread::NotEnoughSpace));
        const QStringList files = recording.stopAll(QString());
        QCOMPARE(files.size(), 1);
        QVERIFY(RecordingProbe::of(files.first()).frames > 0);
        QVERIFY(recording.stopAll(QString()).isEmpty());
    } else
        QVERIFY2(answersGiven.first().contains(said), qPrintable(answersGiven.first()));
}

void TestRecording::recordsTheDesktopWithItsSound_data()
{
    QTest::addColumn<bool>("muted");
    QTest::newRow("sound") << false;
    QTest::newRow("muted") << true;
}

void TestRecording::recordsTheDesktopWithItsSound()
{
    QFETCH(bool, muted);
    AVIRecordingCtrl recording;
    QVERIFY(recording.audioInputs().contains(Sine));
    recording.setMute(muted);
    QVERIFY(recording.start(640, 0, Sine));
    // Long enough for the sine input, which delivers in bursts of about a second.
    QTest::qWait(3000);
    const QStringList files = recording.stopAll(QString());
    recording.setMute(false);
    QCOMPARE(files.size(), 1);
    QVERIFY2(QFileInfo(files.first()).fileName().startsWith(QStringLiteral("Velora-")),
             qPrintable(files.first()));
    QVERIFY(!QFile::exists(AVIRecovery::markerPath(files.first())));

    const RecordingProbe probe = RecordingProbe::of(files.first());
    QVERIFY(probe.opened);
    QCOMPARE(probe.videoStreams, 1);
    QCOMPARE(probe.codecTag, QStringLiteral("XVID"));
    QCOMPARE(QSize(probe.width, probe.height), QSize(640, 400));
    QCOMPARE(probe.framesPerSecond, 25.0);
    // An idle machine fills every 40 ms slot.
    QVERIFY2(probe.frames >= probe.videoSeconds * 25 - 1,
             qPrintable(QString::number(probe.frames)));
    QVERIFY(probe.videoSeconds > 2.5);
    QCOMPARE(probe.audioStreams, 1);
    QCOMPARE(probe.sampleRate, 8000);
    QCOMPARE(probe.channels, 2);
    QCOMPARE(probe.bytesPerSample, 2);
    QVERIFY2(qAbs(probe.audioSeconds - probe.videoSeconds) <= 0.08,
             qPrintable(QStringLiteral("%1 s of sound, %2 s of picture")
                                .arg(probe.audioSeconds)
                                .arg(probe.videoSeconds)));
    const bool silent = std::all_of(probe.pcm.cbegin(), probe.pcm.cend(),
                                    [](char byte) { return byte == 0; });
    QCOMPARE(silent, muted);
}

void TestRecording::aKilledRecordingPlaysAfterTheNextStart()
{
    if (qEnvironmentVariableIsSet(KilledFolderVariable)) {
        // The copy that records until it is killed.
        AVIRecordingCtrl recording;
        QVERIFY(recording.start(640, 0, Sine));
        QTest::qWait(600000);
        return;
    }
    QTemporaryDir folder;
    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(KilledFolderVariable), folder.path());
    recorder.setProcessEnvironment(environment);
    recorder.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("aKilledRecordingPlaysAfterTheNextStart")});
    QString file;
    QTRY_VERIFY_WITH_TIMEOUT(
            !(file
              = QDir(folder.path()).entryInfoList({QStringLiteral("*.avi")}).value(0).filePath())
                     .isEmpty(),
            30000);
    QElapsedTimer recorded;
    recorded.start();
    QTest::qWait(4000);
    recorder.kill();
    const double secondsRecorded = recorded.elapsed() / 1000.0;
    QVERIFY(recorder.waitForFinished(10000));
    QVERIFY(QFile::exists(AVIRecovery::markerPath(file)));

    // The next start of Velora, in a home of its own whose media folder holds the file.
    QTemporaryDir home;
    {
        QSettings settings(home.path() + QStringLiteral("/.local/share/Velora/Settings.ini"),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("savePath"), folder.path());
    }
    QProcess velora;
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + "/.local/share");
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + "/.config");
    environment.insert(QStringLiteral("VELORA_TEST_ANSWER_DIALOGS"), QStringLiteral("1"));
    velora.setProcessEnvironment(environment);
    velora.start(QStringLiteral(VELORA_EXECUTABLE));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(AVIRecovery::markerPath(file)), 60000);
    velora.terminate();
    QVERIFY(velora.waitForFinished(20000));
    const double seconds = RecordingProbe::reportedSeconds(file);
    QVERIFY2(qAbs(seconds - secondsRecorded) <= 2,
             qPrintable(QStringLiteral("%1 s recorded, %2 s in the file")
                                .arg(secondsRecorded)
                                .arg(seconds)));
}

VELORA_TEST_MAIN(TestRecording)
#include "tst_recording.moc"
