#include "AudioCapture.h"

#include "AudioGrabCallback.h"

#include <LogModule.h>
#include <ThreadHandOver.h>

#include <QAudioFormat>
#include <QAudioSource>
#include <QTimer>

namespace {

const LogModule captureLog("velora/recording");

constexpr int SampleRate = 44100;
constexpr int Channels = 2;
// A short period keeps the first level close to the switch of input and the meter lively; the
// sound server wakes the reader once per period.
constexpr int PeriodMs = 10;
// No buffer for this long means the input has stopped delivering.
constexpr int SilenceMs = 300;

QAudioFormat monitorFormat()
{
    QAudioFormat format;
    format.setSampleRate(SampleRate);
    format.setChannelCount(Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

AudioCapture::AudioCapture(AudioGrabCallback &callback)
    : callback(callback)
{
    thread.setObjectName(QStringLiteral("Velora audio level"));
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
        source = new QAudioSource(device, monitorFormat());
        source->setBufferSize(qsizetype(SampleRate) * Channels * 2 * PeriodMs / 1000);
        QObject::connect(source, &QAudioSource::stateChanged, source, [this](QAudio::State state) {
            if (state == QAudio::StoppedState && source->error() != QAudio::NoError) {
                captureLog.log(3, "AudioCapture - The input stopped with error %d",
                               int(source->error()));
                callback.clear();
            }
        });
        watchdog = new QTimer;
        watchdog->setInterval(SilenceMs);
        QObject::connect(watchdog, &QTimer::timeout, watchdog, [this] { watchForSilence(); });
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
        callback.clear();
        buffersAtLastLook = 0;
        source->start(&callback);
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
    callback.clear();
}

void AudioCapture::watchForSilence()
{
    const quint64 seen = callback.buffersSeen();
    if (seen == buffersAtLastLook && callback.level() != 0) {
        captureLog.log(4, "AudioCapture - The input has stopped delivering sound");
        callback.clear();
    }
    buffersAtLastLook = callback.buffersSeen();
}
