#include "AudioCapture.h"

#include <LogModule.h>
#include <ThreadHandOver.h>

#include <QAudioSource>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>

namespace {

const LogModule captureLog("velora/recording");

// How often the input is looked for among the listed ones.
constexpr int WatchMs = 250;
// How long a new stream may take to bring its first sound: the server sets it up with the
// input's latency (two seconds on some virtual inputs), and longer on a busy machine.
constexpr int FirstSoundMs = 10000;

bool listed(const QByteArray &deviceId)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.cbegin(), inputs.cend(),
                       [&](const QAudioDevice &input) { return input.id() == deviceId; });
}

} // namespace

/// What the sound source writes into: counts the buffers and passes them on.
class AudioCapture::Pipe : public QIODevice
{
public:
    explicit Pipe(Receiver receiver)
        : receiver(std::move(receiver))
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    quint64 buffers = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        ++buffers;
        receiver(data, size);
        return size;
    }

private:
    Receiver receiver;
};

AudioCapture::AudioCapture(int sampleRate, int periodMs, int stallMs, Receiver receiver,
                           StallHandler stalled)
    : periodMs(periodMs)
    , stallMs(stallMs)
    , stalled(std::move(stalled))
    , pipe(std::make_unique<Pipe>(std::move(receiver)))
{
    thread.setObjectName(QStringLiteral("Velora audio input"));
    format.setSampleRate(sampleRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
}

AudioCapture::~AudioCapture()
{
    close();
}

template<typename Work> void AudioCapture::onThread(Work &&work)
{
    // The sound source and its timers belong to the capture thread's event loop; the caller
    // waits so that open() can answer and close() is final.
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            context,
            [work = std::forward<Work>(work)]() mutable {
                ThreadHandOver::received();
                work();
                ThreadHandOver::published();
            },
            Qt::BlockingQueuedConnection);
    ThreadHandOver::received();
}

bool AudioCapture::open(const QAudioDevice &device)
{
    close();
    if (device.isNull())
        return false;
    context = new QObject;
    context->moveToThread(&thread);
    thread.start();
    bool opened = false;
    onThread([&] {
        source = new QAudioSource(device, format);
        source->setBufferSize(qsizetype(format.bytesForDuration(qint64(periodMs) * 1000)));
        deviceId = device.id();
        QObject::connect(source, &QAudioSource::stateChanged, source, [this](QAudio::State state) {
            if (state == QAudio::StoppedState && source->error() != QAudio::NoError)
                reportStall("failed");
        });
        watchdog = new QTimer;
        watchdog->setInterval(WatchMs);
        QObject::connect(watchdog, &QTimer::timeout, watchdog, [this] { watchForStall(); });
        opened = source->error() == QAudio::NoError;
    });
    if (!opened)
        close();
    return opened;
}

bool AudioCapture::start()
{
    if (!thread.isRunning())
        return false;
    // The sound server may take seconds to get a stream going (a second stream on a busy
    // input, for one). Nobody waits for that: a recording starting on the GUI thread would
    // freeze the live picture it records. A stream the server refuses counts as a stall.
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            context,
            [this] {
                ThreadHandOver::received();
                buffersAtLastLook = pipe->buffers;
                silentSince.start();
                stallReported = false;
                heard = false;
                source->start(pipe.get());
                if (source->state() != QAudio::StoppedState) {
                    watchdog->start();
                    return;
                }
                captureLog.log(3, "AudioCapture::start - The input refused to start, error %d",
                               int(source->error()));
                reportStall("refused to start");
            },
            Qt::QueuedConnection);
    return true;
}

void AudioCapture::close()
{
    if (!thread.isRunning())
        return;
    onThread([&] {
        delete watchdog;
        watchdog = nullptr;
        if (source)
            source->stop();
        delete source;
        source = nullptr;
    });
    // Deleted by the thread as it finishes.
    context->deleteLater();
    context = nullptr;
    thread.quit();
    thread.wait();
}

void AudioCapture::watchForStall()
{
    if (!listed(deviceId)) {
        reportStall("is gone");
        return;
    }
    if (pipe->buffers != buffersAtLastLook) {
        buffersAtLastLook = pipe->buffers;
        silentSince.start();
        stallReported = false;
        heard = true;
        return;
    }
    if (silentSince.elapsed() >= (heard ? stallMs : std::max(stallMs, FirstSoundMs)))
        reportStall(heard ? "has stopped delivering sound" : "has not delivered any sound");
}

void AudioCapture::reportStall(const char *why)
{
    if (stallReported)
        return;
    captureLog.log(4, "AudioCapture - The input %s", why);
    stallReported = true;
    stalled();
}
