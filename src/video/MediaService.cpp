#include "MediaService.h"

#include "AudioOutput.h"
#include "AudioRing.h"
#include "FramePresenter.h"
#include "FrameQueue.h"
#include "MediaClock.h"
#include "MediaDecoder.h"

#include <LogModule.h>

#include <QMediaDevices>

#include <atomic>
#include <cmath>

namespace {

const LogModule videoLog("velora/video");

// Decoded pictures waiting for their time: enough to ride out a slow frame, few enough that a
// 1080p file holds about 25 MB.
constexpr qsizetype QueuedPictures = 8;
// Sound decoded ahead, bounded so that the decode thread cannot run far beyond the pictures.
constexpr qint64 RingUs = 1000000;
// Below this much sound waiting, a full picture queue drops its oldest picture rather than
// stall the decode thread and let the sound run dry.
constexpr qint64 LowSoundUs = 150000;

double gainOf(long hundredthsOfDecibel)
{
    if (hundredthsOfDecibel <= MediaService::SilentVolume)
        return 0.0;
    return std::pow(10.0, double(hundredthsOfDecibel) / 2000.0);
}

} // namespace

MediaService::MediaService(QObject *parent)
    : QObject(parent)
{
    eventTimer.setInterval(100);
    connect(&eventTimer, &QTimer::timeout, this, &MediaService::checkEvent);
}

MediaService::~MediaService()
{
    release();
}

int MediaService::mediaTypeOf(const QString &path)
{
    if (path.endsWith(QLatin1String(".avi"), Qt::CaseInsensitive))
        return 1;
    if (path.endsWith(QLatin1String(".wmv"), Qt::CaseInsensitive))
        return 2;
    return 0;
}

bool MediaService::open(const QString &filePath)
{
    release();
    path = filePath;
    type = mediaTypeOf(filePath);
    size = QSize();
    seekable = false;
    headerDurationUs = 0;
    if (type == 0) {
        videoLog.log(3, "MediaService::open() - not a video type: %s", qPrintable(filePath));
        setStatus(InvalidMedia);
        return false;
    }
    setStatus(LoadingMedia);
    clock = std::make_unique<MediaClock>();
    frames = std::make_unique<FrameQueue>(QueuedPictures);
    decoder = std::make_unique<MediaDecoder>(filePath, *frames);
    const MediaDecoder::Info info = decoder->info();
    if (!info.valid) {
        videoLog.log(2, "MediaService::open() - %s cannot be played: %s", qPrintable(filePath),
                     qPrintable(info.error));
        release();
        setStatus(InvalidMedia);
        return false;
    }
    setStatus(LoadedMedia);
    size = info.frameSize;
    headerDurationUs = info.durationUs;
    presenter = std::make_unique<FramePresenter>(*frames, *clock);
    presenter->setSink(sink);
    if (info.hasAudio)
        startAudio(info.sampleRate, info.channels);
    AudioOutput *output = audio.get();
    AudioRing *sound = ring.get();
    MediaClock *timing = clock.get();
    // The presenter waits for the first sound; should the decode thread meanwhile wait for room
    // among the pictures while the sound runs dry, neither would ever move again.
    decoder->start(sound, output ? output->audioFormat() : QAudioFormat(), [output, sound, timing] {
        return output && !output->failed() && timing->isWaitingForSound()
                && sound->bufferedUs() < LowSoundUs;
    });
    seekable = true;
    return true;
}

void MediaService::startAudio(int sampleRate, int channels)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        // Said once per run: a machine without sound output would otherwise fill the log.
        static std::atomic<bool> said{false};
        if (!said.exchange(true))
            videoLog.log(4, "MediaService - no audio output, videos play without sound");
        return;
    }
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(qBound(1, channels, 2));
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    ring = std::make_unique<AudioRing>(format.bytesForDuration(RingUs),
                                       format.bytesForDuration(1000000));
    audio = std::make_unique<AudioOutput>(device, format, *ring, *clock);
    audio->setGain(gainOf(volumeLevel));
    clock->setAudioDriven(true);
    audio->start();
}

void MediaService::release()
{
    eventTimer.stop();
    if (presenter && (presenter->droppedCount() > 0 || frames->droppedCount() > 0))
        videoLog.log(5, "MediaService - %s: %llu pictures dropped late, %llu to keep the sound",
                     qPrintable(path), presenter->droppedCount(), frames->droppedCount());
    // The decode thread first: it feeds every other part.
    decoder.reset();
    presenter.reset();
    audio.reset();
    ring.reset();
    frames.reset();
    clock.reset();
}

void MediaService::close()
{
    release();
    path.clear();
    type = 0;
    size = QSize();
    seekable = false;
    headerDurationUs = 0;
    currentStatus = NoMedia;
    currentState = StoppedState;
    Q_EMIT mediaChanged(QString());
    Q_EMIT mediaStateChanged(StoppedState);
    Q_EMIT mediaStatusChanged(NoMedia);
}

bool MediaService::play()
{
    if (!decoder)
        return false;
    clock->setRunning(true);
    if (audio)
        audio->setPaused(false);
    presenter->wake();
    setState(PlayingState);
    setStatus(BufferedMedia);
    eventTimer.start();
    return true;
}

bool MediaService::pause()
{
    if (!decoder)
        return false;
    clock->setRunning(false);
    if (audio)
        audio->setPaused(true);
    setState(PausedState);
    return true;
}

bool MediaService::stop()
{
    if (!decoder)
        return false;
    clock->setRunning(false);
    if (audio)
        audio->setPaused(true);
    eventTimer.stop();
    setState(StoppedState);
    setStatus(LoadedMedia);
    seekTo(0);
    setStatus(EndOfMedia);
    Q_EMIT positionChanged(0);
    return true;
}

bool MediaService::setPosition(qint64 milliseconds)
{
    if (!decoder || milliseconds < 0 || milliseconds > duration())
        return false;
    seekTo(milliseconds * 1000);
    seekable = true;
    Q_EMIT positionChanged(milliseconds);
    return true;
}

void MediaService::seekTo(qint64 positionUs)
{
    ++serial;
    frames->reset(serial);
    if (ring)
        ring->reset(serial);
    clock->reset(positionUs, serial);
    decoder->seek(positionUs, serial);
    if (currentState == PausedState)
        presenter->showFirstAtOnce(serial);
    else
        presenter->wake();
}

qint64 MediaService::position() const
{
    if (!clock)
        return 0;
    const qint64 ms = clock->now() / 1000;
    const qint64 end = duration();
    return qBound<qint64>(0, ms, end > 0 ? end : ms);
}

qint64 MediaService::duration() const
{
    if (!decoder)
        return 0;
    // A recording cut short says nothing in its header; it lasts as far as its streams reach.
    return (headerDurationUs > 0 ? headerDurationUs : decoder->reachedUs()) / 1000;
}

bool MediaService::setVolume(long hundredthsOfDecibel)
{
    if (hundredthsOfDecibel < SilentVolume || hundredthsOfDecibel > 0)
        return false;
    volumeLevel = hundredthsOfDecibel;
    if (audio)
        audio->setGain(gainOf(volumeLevel));
    Q_EMIT volumeChanged(volumeLevel);
    return true;
}

long MediaService::volume() const
{
    return volumeLevel;
}

void MediaService::setFrameSink(VideoFrameSink *frameSink)
{
    sink = frameSink;
    if (presenter)
        presenter->setSink(frameSink);
}

bool MediaService::finished() const
{
    return decoder->endedFor(serial) && presenter->finished(serial)
            && (!audio || audio->drained(serial));
}

void MediaService::checkEvent()
{
    if (!decoder) {
        eventTimer.stop();
        return;
    }
    if (currentState == PlayingState && finished()) {
        stop();
        return;
    }
    if (currentState == PlayingState)
        Q_EMIT positionChanged(position());
}

void MediaService::setState(MediaState state)
{
    currentState = state;
    Q_EMIT mediaStateChanged(state);
}

void MediaService::setStatus(MediaStatus status)
{
    currentStatus = status;
    Q_EMIT mediaStatusChanged(status);
}
