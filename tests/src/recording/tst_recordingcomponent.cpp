// The recording component as the main window drives it: real recordings of the private Xvfb's
// desktop into a media folder of the test's own, every message box answered and remembered.

#include "RecordingIntf.h"

#include <KivoSystem.h>
#include <MessageBox.h>
#include <RecordingProbe.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <VeloraTest.h>

#include <QAudioDevice>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>

#include <algorithm>
#include <atomic>

using namespace Qt::StringLiterals;

namespace {

QStringList boxesShown; // "text / informative text"
// What the presenter answers to a question with Yes and No.
QMessageBox::StandardButton yesOrNo = QMessageBox::No;

QString mediaFolder()
{
    return VeloraTest::homePath() + QStringLiteral("/Media/");
}

QStringList recordings()
{
    return QDir(mediaFolder()).entryList({QStringLiteral("*.avi")}, QDir::Files);
}

} // namespace

class TestRecordingComponent : public QObject
{
    Q_OBJECT

    RecordingIntf *recorder = nullptr;
    SettingIntf *settings = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        MessageBox::setAnswerer([](const MessageBox::Question &question) {
            boxesShown.append(question.text + QStringLiteral(" / ") + question.informativeText);
            return question.buttons.testFlag(QMessageBox::Yes)
                    ? yesOrNo
                    : MessageBox::defaultAnswer(question);
        });
    }
    void init()
    {
        boxesShown.clear();
        KivoSystem::setFreeSpaceOverride({});
        settings = SettingIntf::getInstance();
        QDir().mkpath(mediaFolder());
        settings->setSavePath(mediaFolder());
        settings->setAudioSource(QString());
        recorder = RecordingIntf::getInstance();
    }
    void cleanup()
    {
        recorder->stopRecording(nullptr);
        recorder->release();
        settings->release();
        QDir(mediaFolder()).removeRecursively();
    }
    void recordsThroughStartPauseResumeAndStop();
    void freeSpaceLimit_data();
    void freeSpaceLimit();
    void endsByItselfWithAMessage_data();
    void endsByItselfWithAMessage();
    void aFailingWriterRestartsUncompressedOnce();
    void refusesAFolderItCannotWrite();
    void exitWhileRecording_data();
    void exitWhileRecording();
};

void TestRecordingComponent::recordsThroughStartPauseResumeAndStop()
{
    QList<QString> files;
    QCOMPARE(recorder->pauseRecording(), RecordingResult::NotRecording);
    QCOMPARE(recorder->resumeRecording(), RecordingResult::NotRecording);
    QCOMPARE(recorder->confirmExit(&files), Result::Success);
    QVERIFY(boxesShown.isEmpty());

    // Not one of the three sizes: the writer's own, the screen's full width.
    settings->setVideoQuality(5);
    QSignalSpy status(recorder, &RecordingIntf::actionStatusChanged);
    QCOMPARE(recorder->startRecording(), Result::Success);
    const QStringList started = recordings();
    QCOMPARE(started.size(), 1);
    QVERIFY(recorder->isRecordingFile(mediaFolder() + started.first()));
    QCOMPARE(recorder->startRecording(), RecordingResult::AlreadyRecording);
    QCOMPARE(recordings(), started);

    QCOMPARE(recorder->resumeRecording(), RecordingResult::NotPaused);
    QCOMPARE(recorder->pauseRecording(), Result::Success);
    QCOMPARE(recorder->pauseRecording(), RecordingResult::AlreadyPaused);
    QCOMPARE(recorder->resumeRecording(), Result::Success);
    QTest::qWait(3000);
    QCOMPARE(recorder->stopRecording(&files), Result::Success);
    QCOMPARE(files, QList<QString>{mediaFolder() + started.first()});
    QVERIFY(!recorder->isRecordingFile(files.first()));
    QList<uint> statuses;
    for (const QList<QVariant> &emitted : status)
        statuses.append(emitted.first().toUInt());
    QCOMPARE(statuses, (QList<uint>{6, 6, 10, 1}));

    const RecordingProbe probe = RecordingProbe::of(files.first());
    QCOMPARE(probe.codecTag, QStringLiteral("XVID"));
    QCOMPARE(probe.width, 1280);
    QCOMPARE(probe.videoStreams, 1);
    QVERIFY(probe.frames > 0);
    // Nobody chose an input: the system's default one was stored and recorded.
    QCOMPARE(settings->getAudioSource(), QMediaDevices::defaultAudioInput().description());
    QCOMPARE(probe.audioStreams, 1);
    QCOMPARE(settings->getVideoQuality(), 5);
    QVERIFY(boxesShown.isEmpty());
}

void TestRecordingComponent::freeSpaceLimit_data()
{
    QTest::addColumn<qint64>("free");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("2 MB") << qint64(2097152) << RecordingResult::MediaFolderUnusable
                          << QStringList{u"Not enough disk space! / Cannot start recording!"_s};
    QTest::newRow("a byte more") << qint64(2097153) << Result::Success << QStringList();
}

void TestRecordingComponent::freeSpaceLimit()
{
    QFETCH(qint64, free);
    QFETCH(int, result);
    QFETCH(QStringList, boxes);
    // The component asks first; the writer's own, higher limit then finds plenty.
    auto asked = std::make_shared<std::atomic<int>>(0);
    KivoSystem::setFreeSpaceOverride(
            [asked, free](const QString &) { return (*asked)++ == 0 ? free : qint64(1) << 32; });
    QCOMPARE(recorder->startRecording(), result);
    QCOMPARE(boxesShown, boxes);
    QCOMPARE(recordings().size(), result == Result::Success ? 1 : 0);
}

void TestRecordingComponent::endsByItselfWithAMessage_data()
{
    QTest::addColumn<bool>("removeFolder");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("box");
    QTest::newRow("disk full") << false << RecordingResult::MediaFolderUnusable
                               << u"Not enough disk space! / Recording interrupted."_s;
    QTest::newRow("folder removed") << true << RecordingResult::DiskRemoved
                                    << u"Destination disk removed! / Recording interrupted."_s;
}

void TestRecordingComponent::endsByItselfWithAMessage()
{
    QFETCH(bool, removeFolder);
    QFETCH(int, reason);
    QFETCH(QString, box);
    QSignalSpy stopped(recorder, &RecordingIntf::recordStopped);
    QCOMPARE(recorder->startRecording(), Result::Success);
    const QString file = mediaFolder() + recordings().value(0);
    if (removeFolder)
        QVERIFY(QDir(mediaFolder()).removeRecursively());
    else
        KivoSystem::setFreeSpaceOverride([](const QString &) { return qint64(0); });
    QTRY_COMPARE(stopped.size(), 1);
    QCOMPARE(boxesShown, QStringList{box});
    QCOMPARE(stopped.first().at(0).toInt(), reason);
    // A full disk leaves a playable file; a removed one leaves nothing to list.
    const QList<QString> left = stopped.first().at(1).value<QList<QString>>();
    QCOMPARE(left, removeFolder ? QList<QString>() : QList<QString>{file});
    if (!removeFolder)
        QVERIFY(RecordingProbe::of(file).frames > 0);
    QCOMPARE(recorder->getActionStatus(), RecordingStatus::Idle);
    QCOMPARE(recorder->stopRecording(nullptr), RecordingResult::NotRecording);
}

void TestRecordingComponent::aFailingWriterRestartsUncompressedOnce()
{
    // Every name of the next half minute leads to /dev/full, where each write fails as on a
    // drive pulled out while its mount point still shows free space.
    QStringList names;
    const QDateTime now = QDateTime::currentDateTime();
    for (int second = 0; second < 30; ++second) {
        names.append(mediaFolder()
                     + now.addSecs(second).toString(u"'Velora-'yyyy-MM-dd_HH-mm-ss'.avi'"_s));
        QVERIFY(QFile::link(u"/dev/full"_s, names.last()));
    }
    QSignalSpy stopped(recorder, &RecordingIntf::recordStopped);
    QCOMPARE(recorder->startRecording(), Result::Success);
    const auto first = std::find_if(names.cbegin(), names.cend(), [this](const QString &name) {
        return recorder->isRecordingFile(name);
    });
    QVERIFY(first != names.cend());
    QTRY_COMPARE_WITH_TIMEOUT(stopped.size(), 1, 30000);
    // The first failure went unannounced into a new, uncompressed file; the second ended it.
    QCOMPARE(boxesShown, QStringList{u"Not enough disk space! / Recording interrupted."_s});
    QCOMPARE(stopped.first().at(0).toInt(), RecordingResult::MediaFolderUnusable);
    const QList<QString> left = stopped.first().at(1).value<QList<QString>>();
    QCOMPARE(left.size(), 1);
    QVERIFY(left.first() != *first && names.contains(left.first()));
}

void TestRecordingComponent::refusesAFolderItCannotWrite()
{
    if (!VeloraTest::inRerun()) {
        QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody(),
                                             {u"QT_QPA_PLATFORM=offscreen"_s}));
        return;
    }
    settings->setSavePath(QDir::rootPath());
    QCOMPARE(recorder->startRecording(), RecordingResult::FolderNotWritable);
    QCOMPARE(boxesShown,
             QStringList{u"Permission Denied! You do not have access to the directory. / You do "
                         u"not have permission to write to /."_s});
}

void TestRecordingComponent::exitWhileRecording_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<int>("result");
    QTest::newRow("stays") << QMessageBox::No << RecordingResult::ExitDeclined;
    QTest::newRow("exits") << QMessageBox::Yes << Result::Success;
}

void TestRecordingComponent::exitWhileRecording()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(int, result);
    yesOrNo = answer;
    QCOMPARE(recorder->startRecording(), Result::Success);
    QList<QString> files;
    QCOMPARE(recorder->confirmExit(&files), result);
    QCOMPARE(boxesShown,
             QStringList{u"Do you really want to exit Velora? / Recording in progress"_s});
    const bool exits = answer == QMessageBox::Yes;
    QCOMPARE(files,
             exits ? QList<QString>{mediaFolder() + recordings().value(0)} : QList<QString>());
    QCOMPARE(recorder->getActionStatus(),
             exits ? RecordingStatus::Idle : RecordingStatus::Recording);
}

VELORA_TEST_MAIN(TestRecordingComponent)
#include "tst_recordingcomponent.moc"
