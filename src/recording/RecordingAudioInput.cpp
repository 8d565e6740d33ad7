#include "RecordingAudioInput.h"

#include "AudioCapture.h"
#include "AudioLevel.h"

#include <LogModule.h>

#include <QMediaDevices>

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

const LogModule inputLog("velora/recording");

// Sound is read in 40 ms periods, one frame's worth: the writer finds each frame's sound
// waiting, so that the sound trails the picture by little.
constexpr int PeriodMs = 40;
// Some inputs deliver in bursts of up to a second; only a longer pause means the input is gone.
constexpr int StallMs = 2500;
// What the writer has not taken after this long is dropped (oldest first) and counted: a
// writer that stalls must not make the sound grow without end.
constexpr qsizetype MaximumKeptBytes
        = 10 * RecordingAudioInput::SampleRate * RecordingAudioInput::BytesPerFrame;

} // namespace

struct RecordingAudioInput::State
{
    std::mutex mutex;
    QByteArray kept; // guarded by mutex
    qint64 droppedBytes = 0; // guarded by mutex
    std::atomic<bool> muted{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> lost{false};
    std::atomic<quint16> level{0};
    std::unique_ptr<AudioCapture> capture;

    void receive(const char *data, qsizetype bytes)
    {
        bytes -= bytes % BytesPerFrame;
        // A muted input still gives the recording its time, as silence.
        const bool silent = muted;
        level.store(silent ? 0 : AudioLevel::ofRecordingBuffer(data, bytes),
                    std::memory_order_relaxed);
        if (paused)
            return;
        std::lock_guard lock(mutex);
        keep(silent ? QByteArray(bytes, '\0') : QByteArray::fromRawData(data, bytes));
    }

    void keep(const QByteArray &sound)
    {
        kept.append(sound);
        if (kept.size() > MaximumKeptBytes) {
            const qsizetype excess = kept.size() - MaximumKeptBytes;
            kept.remove(0, excess - excess % BytesPerFrame);
            if (droppedBytes == 0)
                inputLog.log(4,
                             "RecordingAudioInput - The sound is not taken; the oldest is "
                             "dropped");
            droppedBytes += excess;
        }
    }
};

RecordingAudioInput::RecordingAudioInput()
    : state(std::make_unique<State>())
{ }

RecordingAudioInput::~RecordingAudioInput()
{
    close();
}

bool RecordingAudioInput::open(int deviceIndex)
{
    close();
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    const QAudioDevice device = deviceIndex >= 0 && deviceIndex < inputs.size()
            ? inputs[deviceIndex]
            : QMediaDevices::defaultAudioInput();
    State *s = state.get();
    auto capture = std::make_unique<AudioCapture>(
            SampleRate, PeriodMs, StallMs,
            [s](const char *data, qsizetype bytes) { s->receive(data, bytes); },
            [s] {
                // An input that stops delivering mid-recording does not come back to this
                // recording; the rest of it is silent.
                s->lost = true;
                s->level = 0;
            });
    state->lost = false;
    if (!capture->open(device) || !capture->start()) {
        inputLog.log(3, "RecordingAudioInput::open - %s cannot be read",
                     qPrintable(device.description()));
        return false;
    }
    state->capture = std::move(capture);
    return true;
}

void RecordingAudioInput::close()
{
    state->capture.reset();
    std::lock_guard lock(state->mutex);
    if (state->droppedBytes > 0)
        inputLog.log(4, "RecordingAudioInput::close - %lld bytes of sound were dropped",
                     static_cast<long long>(state->droppedBytes));
    state->kept.clear();
    state->droppedBytes = 0;
    state->level = 0;
}

void RecordingAudioInput::setMuted(bool muted)
{
    state->muted = muted;
}

bool RecordingAudioInput::isMuted() const
{
    return state->muted;
}

void RecordingAudioInput::setPaused(bool paused)
{
    state->paused = paused;
}

void RecordingAudioInput::takeSound(QByteArray &pcm)
{
    std::lock_guard lock(state->mutex);
    pcm.append(state->kept);
    state->kept.clear();
}

bool RecordingAudioInput::isLost() const
{
    return state->lost;
}

quint16 RecordingAudioInput::level() const
{
    return state->level.load(std::memory_order_relaxed);
}
