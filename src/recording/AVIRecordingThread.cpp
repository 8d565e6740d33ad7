#include "AVIRecordingThread.h"

#include "ScreenGrabber.h"

#include <KivoSystem.h>
#include <LogModule.h>
#include <MessageBox.h>
#include <SettingIntf.h>
#include <SharedComponent.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

const LogModule threadLog("velora/recording");

constexpr int FirstFrameAttempts = 10;
constexpr int LoopSleepMs = 15;
// A second's worth of frames.
constexpr int FailedFramesToStop = 25;

QString newRecordingPath()
{
    ComponentRef<SettingIntf> settings;
    const QString folder = settings->getSavePath();
    QDir().mkpath(folder);
    return QDir(folder).filePath(AVIRecordingThread::newFileName());
}

} // namespace

QString AVIRecordingThread::newFileName()
{
    return QStringLiteral("Velora-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))
            + QStringLiteral(".avi");
}

std::shared_ptr<AVIRecordingThread> AVIRecordingThread::instance()
{
    static std::mutex creation;
    static std::weak_ptr<AVIRecordingThread> current;
    std::lock_guard lock(creation);
    std::shared_ptr<AVIRecordingThread> worker = current.lock();
    if (!worker) {
        worker.reset(new AVIRecordingThread);
        current = worker;
    }
    return worker;
}

AVIRecordingThread::AVIRecordingThread()
{
    setObjectName(QStringLiteral("Velora recording"));
}

AVIRecordingThread::~AVIRecordingThread()
{
    if (isRunning())
        stopRecording();
}

bool AVIRecordingThread::hasSpace() const
{
    return KivoSystem::freeSpace(targetFolder) >= MinimumFreeBytes;
}

bool AVIRecordingThread::startRecording(const QRect &area, QSize frameSize, int audioDevice,
                                        const QString &codec)
{
    std::unique_lock lock(mutex);
    if (running) {
        errorCode = AlreadyRunning;
        return true;
    }
    // The last recording's worker has ended its loop; let its thread go.
    wait();
    monitorOnly = false;
    targetPath = newRecordingPath();
    targetFolder = QFileInfo(targetPath).absolutePath();
    filesWritten.clear();
    uncollected = false;
    if (!hasSpace()) {
        errorCode = NotEnoughSpace;
        threadLog.log(2, "AVIRecordingThread::startRecording - Not enough disk space for %s",
                      qPrintable(targetPath));
        lock.unlock();
        MessageBox::warning(nullptr, QStringLiteral("Warning"),
                            QStringLiteral("Not enough memory for recording."));
        return false;
    }
    // The screen-cast portal may ask the user first, in a local event loop: the lock is not held
    // meanwhile, so that whatever the window asks this worker then gets its answer.
    lock.unlock();
    QString whyNot;
    std::unique_ptr<ScreenGrabber> grabber = ScreenGrabber::create(area, &whyNot);
    lock.lock();
    if (running) {
        errorCode = AlreadyRunning;
        return true;
    }
    if (!grabber) {
        errorCode = CannotInitialise;
        threadLog.log(2, "AVIRecordingThread::startRecording - The desktop cannot be recorded: %s",
                      qPrintable(whyNot));
        lock.unlock();
        MessageBox::warning(nullptr, QStringLiteral("Warning"), whyNot);
        return false;
    }
    RecordingAudioInput *sound = nullptr;
    if (audioDevice != -2) {
        sound = &audio;
        // An input that cannot be read still gives the file its (silent) sound track.
        audio.setPaused(false);
        audio.open(audioDevice);
    }
    writer.setTargetName(targetPath);
    if (!writer.open(std::move(grabber), frameSize, sound, codec)) {
        errorCode = CannotInitialise;
        audio.close();
        threadLog.log(2, "AVIRecordingThread::startRecording - %s cannot be created",
                      qPrintable(targetPath));
        return false;
    }
    uncompressed = codec == QLatin1String(AVIRecordingImpl::Uncompressed);
    stopRequested = false;
    frameRequested = false;
    finalName.clear();
    running = true;
    errorCode = NoError;
    threadLog.log(6, "AVIRecordingThread::startRecording - Recording %s (%s)",
                  qPrintable(targetPath), uncompressed ? "uncompressed" : "compressed");
    start();
    return true;
}

void AVIRecordingThread::run()
{
    if (!monitorOnly) {
        AVIRecordingImpl::FrameResult result = AVIRecordingImpl::FrameFailed;
        for (int attempt = 0; attempt < FirstFrameAttempts; ++attempt) {
            result = writer.addFrame();
            if (result == AVIRecordingImpl::FrameAdded)
                break;
        }
        if (result != AVIRecordingImpl::FrameAdded) {
            std::lock_guard lock(mutex);
            stopRequested = true;
            errorCode = result == AVIRecordingImpl::CodecFailed ? CodecFailed : CannotAddFrame;
        }
    }
    int failedFrames = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (uncompressed)
                wake.wait(lock, [this] { return stopRequested || frameRequested; });
            if (stopRequested)
                break;
            frameRequested = false;
        }
        if (!monitorOnly) {
            if (!hasSpace()) {
                std::lock_guard lock(mutex);
                threadLog.log(2, "AVIRecordingThread::run - Free space fell below the limit");
                stopRequested = true;
                errorCode = NotEnoughSpace;
                break;
            }
            // A disk that went away (a USB stick pulled out) may still look roomy through its
            // mount point while every write fails: a second of failed frames ends the recording
            // like a full disk, with what was written kept.
            const AVIRecordingImpl::FrameResult result = writer.addFrame();
            failedFrames = result < 0 ? failedFrames + 1 : 0;
            if (failedFrames >= FailedFramesToStop) {
                std::lock_guard lock(mutex);
                threadLog.log(2,
                              "AVIRecordingThread::run - No frame could be written for a "
                              "second; the recording stops");
                stopRequested = true;
                errorCode = CannotAddFrame;
                break;
            }
        }
        if (!uncompressed) {
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(LoopSleepMs),
                          [this] { return stopRequested; });
        }
    }
    const QStringList files = writer.close();
    audio.close();
    std::lock_guard lock(mutex);
    filesWritten = files;
    uncollected = true;
    running = false;
    monitorOnly = false;
}

QStringList AVIRecordingThread::stopRecording(const QString &name)
{
    {
        std::lock_guard lock(mutex);
        if (!running && !uncollected) {
            errorCode = NotRunning;
            return {};
        }
        finalName = name;
        stopRequested = true;
    }
    wake.notify_all();
    wait();
    std::lock_guard lock(mutex);
    // A recording that ended by itself (the disk filled up) still hands its files, once, to the
    // stop that follows.
    uncollected = false;
    threadLog.log(6, "AVIRecordingThread::stopRecording - %s (asked for %s)",
                  qPrintable(filesWritten.join(QStringLiteral(", "))), qPrintable(finalName));
    return filesWritten;
}

void AVIRecordingThread::addOneFrameNow()
{
    {
        std::lock_guard lock(mutex);
        if (!running || !uncompressed)
            return;
        frameRequested = true;
    }
    wake.notify_all();
}

bool AVIRecordingThread::togglePause()
{
    const bool paused = writer.togglePause();
    audio.setPaused(paused);
    return paused;
}

bool AVIRecordingThread::isPaused() const
{
    return writer.isPaused();
}

void AVIRecordingThread::setMuted(bool muted)
{
    audio.setMuted(muted);
    writer.setMuted(muted);
}

bool AVIRecordingThread::isMuted() const
{
    return audio.isMuted();
}

bool AVIRecordingThread::isRecording() const
{
    std::lock_guard lock(mutex);
    return running;
}

int AVIRecordingThread::lastError() const
{
    std::lock_guard lock(mutex);
    return errorCode;
}

QString AVIRecordingThread::filePath() const
{
    std::lock_guard lock(mutex);
    return running ? targetPath : QString();
}

quint16 AVIRecordingThread::audioLevel() const
{
    return audio.level();
}
