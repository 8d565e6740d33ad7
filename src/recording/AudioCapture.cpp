#include "AudioCapture.h"

#include <LogModule.h>
#include <ThreadHandOver.h>

#include <QAudioSource>
#include <QTimer>

namespace {

const LogModule captureLog("velora/recording");

// No buffer for this many periods (and at least this long) means the input stopped delivering.
constexpr int StallPeriods = 3;
constexpr int MinimumStallMs = 300;

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

AudioCapture::AudioCapture(const QAudioFormat &format, int periodMs, Receiver receiver,
                           StallHandler stalled)
    : format(format)
    , periodMs(periodMs)
    , stalled(std::move(stalled))
    , pipe(std::make_unique<Pipe>(std::move(receiver)))
{
    thread.setObjectName(QStringLiteral("Velora audio input"));
}

AudioCapture::~AudioCapture()
{
    close();
}

template<typename Work> void AudioCapture::onThread(Work work)
{
    // The sound source and its timers belong to the capture thread's event loop; the caller
    // waits so that open() and start() can answer.
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            context,
            [&work] {
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
        QObject::connect(source, &QAudioSource::stateChanged, source, [this](QAudio::State state) {
            if (state == QAudio::StoppedState && source->error() != QAudio::NoError
                && !stallReported) {
                captureLog.log(3, "AudioCapture - The input stopped with error %d",
                               int(source->error()));
                stallReported = true;
                stalled();
            }
        });
        watchdog = new QTimer;
        watchdog->setInterval(std::max(MinimumStallMs, StallPeriods * periodMs));
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
    bool started = false;
    onThread([&] {
        buffersAtLastLook = pipe->buffers;
        stallReported = false;
        source->start(pipe.get());
        started = source->state() != QAudio::StoppedState;
        if (started)
            watchdog->start();
        else
            captureLog.log(3, "AudioCapture::start - The input refused to start, error %d",
                           int(source->error()));
    });
    return started;
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
    if (pipe->buffers != buffersAtLastLook) {
        buffersAtLastLook = pipe->buffers;
        stallReported = false;
        return;
    }
    if (!stallReported) {
        captureLog.log(4, "AudioCapture - The input has stopped delivering sound");
        stallReported = true;
        stalled();
    }
}
