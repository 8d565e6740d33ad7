#include "AVIRecordingImpl.h"

#include "AVIRecovery.h"
#include "AviFile.h"
#include "RecordingAudioInput.h"
#include "ScreenGrabber.h"

#include <LogModule.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <chrono>
#include <thread>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const LogModule recordingLog("velora/recording");

constexpr qint64 FrameMs = 40;
constexpr qint64 SamplesPerMs = 8;
constexpr int BytesPerSample = 4;
constexpr qint64 PartMs = 870000;
// An input delivers its sound late, by its period and the sound server's latency, and some in
// bursts: sound may trail the pictures this far before silence is put in for it. Sound ahead of
// the pictures can only come from a card whose clock runs fast; it is dropped beyond a little.
constexpr qint64 SoundTrailingSamples = 150 * SamplesPerMs;
constexpr qint64 SoundLeadingSamples = 20 * SamplesPerMs;
// Drift is mended by at most this much silence or dropped sound per frame, so that a mend is
// never heard as a gap or a jump.
constexpr qint64 SoundMendSamples = 5 * SamplesPerMs;
// Sound this far ahead is no drift but an input catching up in a burst: it is dropped at once.
constexpr qint64 SoundBurstSamples = 1000 * SamplesPerMs;
constexpr qint64 FlushIntervalMs = 1000;

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::function<qint64()> &testClock()
{
    static std::function<qint64()> clock;
    return clock;
}

qint64 now()
{
    return testClock() ? testClock()() : steadyMs();
}

} // namespace

struct AVIRecordingImpl::State
{
    mutable QMutex mutex;
    QString target = u"out.avi"_s;
    std::unique_ptr<ScreenGrabber> grabber;
    RecordingAudioInput *audio = nullptr;
    AviFile::Format format;
    std::unique_ptr<AviFile> file;
    QStringList files;
    QByteArray sound;
    bool paused = false;
    bool muted = false;

    // The frame clock of the current file: a run starts with its first frame and again on each
    // resume; frames before the run are counted in indexBeforeRun.
    qint64 runStart = -1;
    qint64 indexBeforeRun = 0;
    qint64 lastIndex = -1;
    qint64 lastFlush = 0;

    qint64 recordedMs(qint64 time) const
    {
        return (runStart < 0 ? 0 : time - runStart) + indexBeforeRun * FrameMs;
    }
    /// How long until the slot after the last written frame begins; 0 when it has begun.
    qint64 msUntilFreeSlot(qint64 time) const
    {
        if (runStart < 0 || recordedMs(time) / FrameMs != lastIndex)
            return 0;
        return runStart + (lastIndex + 1 - indexBeforeRun) * FrameMs - time;
    }
    bool openPart(const QString &path);
    bool finishPart();
    /// Writes the sound taken so far, mended towards `targetSamples` (the pictures' time);
    /// `exactly` (at the end of a file) makes the sound end with the last frame.
    bool writeSound(qint64 targetSamples, bool exactly);
    FrameResult writeFrame(const DesktopPicture &picture, qint64 time, qint64 index);
};

AVIRecordingImpl::AVIRecordingImpl()
    : state(std::make_unique<State>())
{ }

AVIRecordingImpl::~AVIRecordingImpl()
{
    close();
}

void AVIRecordingImpl::setTargetName(const QString &path)
{
    QMutexLocker lock(&state->mutex);
    state->target = path.isEmpty() ? u"out.avi"_s : path;
}

bool AVIRecordingImpl::open(std::unique_ptr<ScreenGrabber> grabber, QSize frameSize,
                            RecordingAudioInput *audio, const QString &codec)
{
    return openFile(std::move(grabber), frameSize, audio, audio != nullptr, codec);
}

bool AVIRecordingImpl::openFile(std::unique_ptr<ScreenGrabber> grabber, QSize frameSize,
                                RecordingAudioInput *audio, bool withSound, const QString &codec)
{
    QMutexLocker lock(&state->mutex);
    if (state->file) {
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::open - Already recording to %s",
                         qPrintable(state->files.last()));
        return false;
    }
    if (frameSize.isEmpty() || frameSize.width() % 2 || frameSize.height() % 2) {
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::open - Invalid frame size %dx%d",
                         frameSize.width(), frameSize.height());
        return false;
    }
    State &s = *state;
    s.grabber = std::move(grabber);
    s.audio = audio;
    s.format = {frameSize, codec.size() < 4, withSound,
                qEnvironmentVariable("VELORA_FORCE_CODEC_FAILURE") == u"1"_s};
    s.files.clear();
    s.sound.clear();
    s.paused = false;
    if (audio)
        audio->setMuted(s.muted);
    return s.openPart(s.target);
}

bool AVIRecordingImpl::State::openPart(const QString &path)
{
    runStart = -1;
    indexBeforeRun = 0;
    lastIndex = -1;
    lastFlush = now();
    auto next = std::make_unique<AviFile>();
    QString error;
    if (!next->open(path, format, &error)) {
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::open - %s: %s", qPrintable(path),
                         qPrintable(error));
        return false;
    }
    // The marker tells a later start that this file was never finished if this process dies.
    QFile marker(AVIRecovery::markerPath(path));
    if (!marker.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || marker.write(QByteArray::number(getpid())) < 0)
        recordingLog.log(LogSystem::LogWarning,
                         "AVIRecordingImpl::open - Cannot write %s (%s): a crash would leave the "
                         "recording unindexed",
                         qPrintable(marker.fileName()), qPrintable(marker.errorString()));
    file = std::move(next);
    files.append(path);
    return true;
}

bool AVIRecordingImpl::State::finishPart()
{
    const QString path = files.last();
    bool written = file->hasFrames();
    if (written && format.sound) {
        if (audio)
            audio->takeSound(sound);
        // The sound track ends with the last frame.
        writeSound((lastIndex + 1) * FrameMs * SamplesPerMs, true);
    }
    QString error;
    const bool finished = file->finish(&error);
    file.reset();
    if (!written) {
        // No frame ever reached it: nothing to keep.
        QFile::remove(path);
        files.removeLast();
    } else if (!finished) {
        // The marker stays, so that recovery indexes what was written.
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::close - %s: %s", qPrintable(path),
                         qPrintable(error));
        return false;
    }
    QFile::remove(AVIRecovery::markerPath(path));
    return written;
}

bool AVIRecordingImpl::isOpen() const
{
    QMutexLocker lock(&state->mutex);
    return state->file != nullptr;
}

AVIRecordingImpl::FrameResult AVIRecordingImpl::addFrame()
{
    // The picture is taken when its slot begins, not a slot early.
    qint64 waitMs = 0;
    {
        QMutexLocker lock(&state->mutex);
        const State &s = *state;
        if (s.file && !s.paused && !testClock())
            waitMs = s.msUntilFreeSlot(now());
    }
    if (waitMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    DesktopPicture picture;
    if (!state->grabber || !state->grabber->grab(picture)) {
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::addFrame - No desktop picture");
        return FrameFailed;
    }
    return addPicture(picture);
}

AVIRecordingImpl::FrameResult AVIRecordingImpl::addPicture(const DesktopPicture &picture)
{
    if (!picture.pixels || picture.width <= 0 || picture.height <= 0)
        return FrameFailed;
    for (bool waited = false;; waited = true) {
        QMutexLocker lock(&state->mutex);
        State &s = *state;
        // Without a file but with parts written, the next part could not be created.
        if (!s.file)
            return s.files.isEmpty() ? NothingAdded : FrameFailed;
        if (s.paused)
            return NothingAdded;
        qint64 time = now();
        if (s.file->hasFrames() && s.recordedMs(time) >= PartMs) {
            // Numbered from 2: the first part takes "_1" when the recording ends.
            const QFileInfo target(s.target);
            const QString next = target.dir().filePath(
                    u"%1_%2.%3"_s.arg(target.completeBaseName(),
                                      QString::number(s.files.size() + 1), target.suffix()));
            s.finishPart();
            if (!s.openPart(next))
                return FrameFailed;
        }
        if (s.runStart < 0)
            s.runStart = time;
        const qint64 index = s.recordedMs(time) / FrameMs;
        if (index != s.lastIndex)
            return s.writeFrame(picture, time, index);
        // A test clock that stands still would make the wait endless.
        if (waited || testClock())
            return NothingAdded;
        const qint64 waitMs = s.msUntilFreeSlot(time);
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
}

AVIRecordingImpl::FrameResult AVIRecordingImpl::State::writeFrame(const DesktopPicture &picture,
                                                                  qint64 time, qint64 index)
{
    QString error;
    const AviFile::Result written = file->writePicture(picture, index, &error);
    if (written != AviFile::Result::Written) {
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::addPicture - %s: %s",
                         qPrintable(files.last()), qPrintable(error));
        return written == AviFile::Result::CodecFailed ? CodecFailed : FrameFailed;
    }
    lastIndex = index;
    if (format.sound) {
        if (audio)
            audio->takeSound(sound);
        if (!writeSound(recordedMs(time) * SamplesPerMs, false))
            return FrameFailed;
    }
    if (time - lastFlush >= FlushIntervalMs) {
        lastFlush = time;
        if (!file->flush(&error)) {
            recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::addPicture - %s: %s",
                             qPrintable(files.last()), qPrintable(error));
            return FrameFailed;
        }
    }
    return FrameAdded;
}

bool AVIRecordingImpl::State::writeSound(qint64 targetSamples, bool exactly)
{
    // The sound card's clock drifts from ours: sound running ahead of the pictures loses a few
    // of its oldest samples, sound trailing them gains a little silence, and a lost input is
    // silence from now on. Sound beyond the pictures' time waits for the next frame.
    const qint64 written = file->soundSamples();
    // Read once: the input may be lost while this frame's sound is being mended.
    const bool lost = audio && audio->isLost();
    if (lost)
        sound.clear();
    qint64 pending = sound.size() / BytesPerSample;
    const qint64 ahead = written + pending - targetSamples;
    if (!exactly && !lost) {
        if (ahead > SoundBurstSamples)
            sound.remove(0, (ahead - SoundLeadingSamples) * BytesPerSample);
        else if (ahead > SoundLeadingSamples)
            sound.remove(0, qMin(ahead - SoundLeadingSamples, SoundMendSamples) * BytesPerSample);
        else if (-ahead > SoundTrailingSamples)
            sound.prepend(QByteArray(
                    qMin(-ahead - SoundTrailingSamples, SoundMendSamples) * BytesPerSample, '\0'));
        pending = sound.size() / BytesPerSample;
    }
    const qint64 due = qMax<qint64>(0, targetSamples - written);
    QByteArray now;
    if (pending >= due) {
        now = sound.left(due * BytesPerSample);
        sound.remove(0, due * BytesPerSample);
    } else if (exactly || lost) {
        now = sound + QByteArray((due - pending) * BytesPerSample, '\0');
        sound.clear();
    } else {
        now = sound;
        sound.clear();
    }
    if (exactly)
        sound.clear();
    QString error;
    const bool ok = file->writeSound(now, &error);
    if (!ok)
        recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::addPicture - %s: %s",
                         qPrintable(files.last()), qPrintable(error));
    return ok;
}

void AVIRecordingImpl::addSound(const QByteArray &pcm)
{
    QMutexLocker lock(&state->mutex);
    state->sound.append(pcm);
}

bool AVIRecordingImpl::togglePause()
{
    QMutexLocker lock(&state->mutex);
    State &s = *state;
    const qint64 time = now();
    if (!s.paused) {
        // The recorded time stops at the next free slot; the run starts again on resume.
        s.indexBeforeRun = qMax(s.lastIndex + 1, s.recordedMs(time) / FrameMs);
        s.runStart = -1;
    } else if (s.file && s.file->hasFrames()) {
        s.runStart = time;
    }
    s.paused = !s.paused;
    if (s.audio)
        s.audio->setPaused(s.paused);
    return s.paused;
}

bool AVIRecordingImpl::isPaused() const
{
    QMutexLocker lock(&state->mutex);
    return state->paused;
}

void AVIRecordingImpl::setMuted(bool muted)
{
    QMutexLocker lock(&state->mutex);
    state->muted = muted;
    if (state->audio)
        state->audio->setMuted(muted);
}

bool AVIRecordingImpl::isMuted() const
{
    QMutexLocker lock(&state->mutex);
    return state->muted;
}

QStringList AVIRecordingImpl::close()
{
    QMutexLocker lock(&state->mutex);
    State &s = *state;
    if (s.file)
        s.finishPart();
    if (s.files.size() > 1) {
        const QFileInfo first(s.files.first());
        const QString numbered
                = first.dir().filePath(u"%1_1.%2"_s.arg(first.completeBaseName(), first.suffix()));
        if (QFile::rename(s.files.first(), numbered)) {
            // A part that could not be finished keeps its marker beside it for recovery.
            QFile::rename(AVIRecovery::markerPath(s.files.first()),
                          AVIRecovery::markerPath(numbered));
            s.files.first() = numbered;
        } else
            recordingLog.log(LogSystem::LogError, "AVIRecordingImpl::close - Cannot rename %s",
                             qPrintable(s.files.first()));
    }
    const QStringList files = s.files;
    s.files.clear();
    s.grabber.reset();
    s.audio = nullptr;
    s.sound.clear();
    s.paused = false;
    return files;
}

void AVIRecordingImpl::setClock(std::function<qint64()> clock)
{
    testClock() = std::move(clock);
}
