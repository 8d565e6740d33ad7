#include "AudioOutput.h"

#include "AudioRing.h"
#include "MediaClock.h"

#include <LogModule.h>

#include <QAudioSink>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const LogModule videoLog("velora/video");

// The feed period, short beside the sink's buffer so that it never runs dry.
constexpr int FeedIntervalMs = 10;

template<typename Sample> void scale(char *data, qsizetype bytes, double gain, double lo, double hi)
{
    auto *samples = reinterpret_cast<Sample *>(data);
    const qsizetype count = bytes / qsizetype(sizeof(Sample));
    for (qsizetype i = 0; i < count; ++i)
        samples[i] = Sample(std::clamp(std::lround(samples[i] * gain), long(lo), long(hi)));
}

} // namespace

AudioOutput::AudioOutput(const QAudioDevice &device, const QAudioFormat &format, AudioRing &ring,
                         MediaClock &clock)
    : device(device)
    , format(format)
    , ring(ring)
    , clock(clock)
{ }

AudioOutput::~AudioOutput()
{
    quit();
    wait();
}

void AudioOutput::setPaused(bool pause)
{
    paused.store(pause);
}

void AudioOutput::setGain(double value)
{
    gain.store(value);
}

bool AudioOutput::drained(quint64 forSerial) const
{
    return broken.load() || drainedSerial.load() == forSerial;
}

void AudioOutput::fail(const char *reason)
{
    videoLog.log(3, "AudioOutput - no sound output (%s), playing silently", reason);
    broken.store(true);
    clock.setAudioDriven(false);
    // Nothing reads the sound any more; the decode thread must not wait for room in it.
    ring.abort();
}

void AudioOutput::run()
{
    QAudioSink sink(device, format);
    QIODevice *io = sink.start();
    if (!io || sink.error() == QAudio::OpenError || sink.error() == QAudio::FatalError) {
        fail("it cannot be opened");
        return;
    }
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &timer, [&] { feed(sink, io); });
    timer.start(FeedIntervalMs);
    exec();
    timer.stop();
    sink.stop();
}

void AudioOutput::feed(QAudioSink &sink, QIODevice *&io)
{
    if (broken.load())
        return;
    if (sink.error() == QAudio::FatalError || sink.error() == QAudio::OpenError) {
        fail("it broke down");
        return;
    }
    // A seek: what the sink still holds belongs to the old position, so it starts afresh and
    // its played time counts from the first sample of the new one.
    if (ring.serial() != serial) {
        if (sinkStarted) {
            sink.stop();
            io = sink.start();
            if (!io) {
                fail("it cannot be restarted");
                return;
            }
        }
        serial = ring.serial();
        sinkStarted = false;
        writtenUs = 0;
    }
    if (paused.load()) {
        if (sink.state() != QAudio::SuspendedState && sinkStarted)
            sink.suspend();
        return;
    }
    if (sink.state() == QAudio::SuspendedState)
        sink.resume();

    const int frameBytes = format.bytesPerFrame();
    const qsizetype room = sink.bytesFree();
    if (room >= frameBytes) {
        chunk.resize(room);
        quint64 chunkSerial = 0;
        qint64 ptsUs = 0;
        const qsizetype got = ring.read(chunk.data(), room, frameBytes, &chunkSerial, &ptsUs);
        if (got > 0 && chunkSerial == serial) {
            if (!sinkStarted) {
                basePtsUs = ptsUs;
                sinkStarted = true;
            }
            applyGain(chunk.data(), got);
            io->write(chunk.constData(), got);
            writtenUs += format.durationForBytes(int(got));
        }
    }
    if (!sinkStarted)
        return;
    // Qt's PulseAudio sink reports as processed the stream's playback time, which already
    // leaves out what is still buffered on the way to the speakers. Until the sound server's
    // first timing report it says 0: the sound starts about when it is first written, so the
    // clock starts then rather than a report later.
    const qint64 playedUs = std::min(sink.processedUSecs(), writtenUs);
    clock.audioPlayed(serial, basePtsUs + playedUs);
    if (ring.drained(serial)) {
        clock.audioEnded(serial);
        // The sink goes idle once it has played all it was given.
        if (playedUs >= writtenUs || sink.state() == QAudio::IdleState)
            drainedSerial.store(serial);
    }
}

void AudioOutput::applyGain(char *data, qsizetype bytes) const
{
    const double factor = gain.load();
    if (factor >= 1.0)
        return;
    switch (format.sampleFormat()) {
    case QAudioFormat::UInt8:
        for (qsizetype i = 0; i < bytes; ++i)
            data[i] = char(std::lround((uchar(data[i]) - 128) * factor) + 128);
        break;
    case QAudioFormat::Int16:
        scale<qint16>(data, bytes, factor, -32768, 32767);
        break;
    case QAudioFormat::Int32:
        scale<qint32>(data, bytes, factor, -2147483648.0, 2147483647.0);
        break;
    case QAudioFormat::Float: {
        auto *samples = reinterpret_cast<float *>(data);
        for (qsizetype i = 0; i < bytes / qsizetype(sizeof(float)); ++i)
            samples[i] = float(samples[i] * factor);
        break;
    }
    default:
        break;
    }
}
