#include "VideoImpl.h"

#include "VideoLog.h"
#include "VideoWidget.h"

#include <MessageBox.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>

namespace {

/// A service still loading after this long is taken for one that will never load.
constexpr int LoadingPatience = 5000;

QString message(const char *operation, const char *text)
{
    return QStringLiteral("VideoImpl::%1() - %2")
            .arg(QLatin1String(operation), QLatin1String(text));
}

} // namespace

VideoIntf *VideoIntf::getInstance()
{
    return VideoImpl::getInstance();
}

VideoImpl::VideoImpl()
    : widget(new VideoWidget)
{ }

VideoImpl::~VideoImpl()
{
    // The service feeds the widget from its own thread: it goes first.
    releaseVideo();
    delete widget.data();
}

QWidget *VideoImpl::videoWidget()
{
    return widget;
}

void VideoImpl::retireService()
{
    if (!service)
        return;
    // Its last signals (the stop's end of media) are no news about the next file.
    service->disconnect(this);
    service->setFrameSink(nullptr);
    service->stop();
    // Not deleted here: this may run inside one of its own signals.
    service->deleteLater();
    service = nullptr;
}

void VideoImpl::releaseVideo()
{
    if (!service)
        return;
    service->disconnect(this);
    service->setFrameSink(nullptr);
    delete service;
    service = nullptr;
}

int VideoImpl::attachVideo(const QString &newPath)
{
    retireService();
    if (widget)
        widget->clear();
    path.clear();
    videoLog.log(6, "VideoImpl::attachVideo() - path : %s", qPrintable(newPath));
    path = newPath;

    service = new MediaService(this);
    connect(service, &MediaService::positionChanged, this, &VideoImpl::positionChanged);
    connect(service, &MediaService::mediaStateChanged, this, &VideoImpl::stateChanged);
    connect(service, &MediaService::mediaStatusChanged, this, &VideoImpl::mediaStatusChanged);

    if (!service->open(path)) {
        if (path.isEmpty()) {
            Q_EMIT actionStatusChanged(currentActionStatus());
            return CannotAttach;
        }
        videoLog.log(2, "VideoImpl::attachVideo() - %s", "The video file is invaild");
    } else {
        service->setVolume(long(volumeLevel) * 100 + MediaService::SilentVolume);
    }

    if (widget) {
        service->setFrameSink(widget->frameReceiver());
        widget->setFrameSize(service->frameSize());
    }

    if (!QFile::exists(path)) {
        videoLog.log(3, "VideoImpl::attachVideo() - file does not exist!!");
        return CannotAttach;
    }

    const QDeadlineTimer patience(LoadingPatience);
    while (service->status() == MediaService::LoadingMedia && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);

    const MediaService::MediaStatus status = service->status();
    if (status == MediaService::InvalidMedia || status == MediaService::NoMedia) {
        videoLog.log(2, "VideoImpl::attachVideo() - Can't Play Video! This video file is invaild");
        MessageBox::warning(QApplication::activeWindow(), QStringLiteral("Can't Play Video!"),
                            QStringLiteral("This video file is invaild"));
    }
    Q_EMIT actionStatusChanged(currentActionStatus());
    return Result::Success;
}

int VideoImpl::checkAttached(const char *operation)
{
    if (path.isEmpty()) {
        videoLog.log(3, message(operation, "file does not exist!!"));
        return NoVideo;
    }
    if (!service || service->status() == MediaService::NoMedia) {
        videoLog.log(3, message(operation, "Video not available"));
        return NoVideo;
    }
    return Result::Success;
}

int VideoImpl::act(const char *operation, std::initializer_list<MediaService::MediaState> allowed,
                   const char *doing, const char *wrongState, bool (MediaService::*call)())
{
    if (const int refused = checkAttached(operation))
        return refused;
    if (std::find(allowed.begin(), allowed.end(), service->state()) == allowed.end()) {
        videoLog.log(3, message(operation, wrongState));
        return WrongState;
    }
    videoLog.log(6, message(operation, doing));
    return (service->*call)() ? Result::Success : NotAvailable;
}

int VideoImpl::start()
{
    if (!path.isEmpty() && !service) {
        const int attached = attachVideo(path);
        if (attached < 0)
            return attached;
    }
    return act("start", {MediaService::StoppedState}, "Video Starting...",
               "Video not in stopped state", &MediaService::play);
}

int VideoImpl::pause()
{
    return act("pause", {MediaService::PlayingState}, "Video Pausing...",
               "Video not in playing state", &MediaService::pause);
}

int VideoImpl::resume()
{
    return act("resume", {MediaService::PausedState}, "Video Resuming...",
               "Video not in paused state", &MediaService::play);
}

int VideoImpl::stop()
{
    return act("stop", {MediaService::PlayingState, MediaService::PausedState}, "Video Stopping...",
               "Video not in playing or paused state", &MediaService::stop);
}

int VideoImpl::moveTo(uint seconds)
{
    if (path.isEmpty()) {
        videoLog.log(3, "VideoImpl::moveTo() - file does not exist!!");
        return NoVideo;
    }
    if (!service || service->status() == MediaService::NoMedia) {
        videoLog.log(3, "VideoImpl::moveTo() - Video is not available");
        return NotAvailable;
    }
    if (!service->isSeekable()) {
        videoLog.log(3, "VideoImpl::moveTo() - Video is not seekable");
        return NotSeekable;
    }
    const qint64 target = qint64(seconds) * 1000;
    const qint64 duration = service->duration();
    if (duration <= 0 || target > duration) {
        videoLog.log(3, "VideoImpl::moveTo() - Position is out of limit : %d", int(seconds));
        return OutOfRange;
    }
    videoLog.log(6, "VideoImpl::moveTo() - Move position to %d", int(seconds));
    return service->setPosition(target) ? Result::Success : NotAvailable;
}

int VideoImpl::getTotalVideoLengthInSeconds()
{
    if (path.isEmpty()) {
        videoLog.log(3, "VideoImpl::getTotalVideoLengthInSeconds() - file does not exist!!");
        return NoVideo;
    }
    if (!service || service->status() == MediaService::NoMedia) {
        videoLog.log(3, "VideoImpl::getTotalVideoLengthInSeconds() - video is not available");
        return NotAvailable;
    }
    return int(service->duration() / 1000);
}

int VideoImpl::setVolume(uint level)
{
    if (level > 100) {
        videoLog.log(2, "VideoImpl::setVolume() - Volume is greater than 100");
        return BadVolume;
    }
    volumeLevel = level;
    if (service)
        service->setVolume(long(level) * 100 + MediaService::SilentVolume);
    return Result::Success;
}

int VideoImpl::volume()
{
    if (!service)
        return int(volumeLevel);
    return int((service->volume() - MediaService::SilentVolume) / 100);
}

int VideoImpl::setProgressReportPeriod(uint milliseconds)
{
    videoLog.log(4, "VideoImpl::setProgressReportPeriod() - Report period : %d", int(milliseconds));
    return Result::Success;
}

int VideoImpl::dropFpsForLoadBalance(uint fps)
{
    videoLog.log(6, "VideoWidget::dropFpsForLoadBalance() - fps : %d", int(fps));
    if (widget)
        widget->setFpsHint(fps);
    return Result::Success;
}

uint VideoImpl::currentActionStatus()
{
    if (path.isEmpty() || !service || !QFile::exists(path))
        return 0;
    const MediaService::MediaStatus status = service->status();
    if (status == MediaService::NoMedia || status == MediaService::InvalidMedia)
        return 0;
    uint mask = Attached;
    switch (service->state()) {
    case MediaService::StoppedState:
        return mask | CanStart;
    case MediaService::PlayingState:
        mask |= CanPause;
        break;
    case MediaService::PausedState:
        mask |= CanResume;
        break;
    }
    mask |= CanStop;
    if (service->isSeekable())
        mask |= CanMove;
    return mask;
}

void VideoImpl::positionChanged(qint64 position)
{
    Q_EMIT progressUpdated(uint(qMax<qint64>(position, 0) / 1000));
}

void VideoImpl::stateChanged(MediaService::MediaState state)
{
    videoLog.log(6, "VideoImpl::stateChanged() - State : %d", int(state));
    Q_EMIT actionStatusChanged(currentActionStatus());
}

void VideoImpl::mediaStatusChanged(MediaService::MediaStatus status)
{
    videoLog.log(6, "VideoImpl::mediaStatusChanged() - status : %d", int(status));
    if (status == MediaService::EndOfMedia) {
        videoLog.log(6, "VideoImpl::mediaStatusChanged() - Video Ended");
        if (widget)
            widget->clear();
        Q_EMIT ended();
    }
    if (status != MediaService::BufferedMedia && status != 6)
        Q_EMIT actionStatusChanged(currentActionStatus());
}

void VideoImpl::playbackRateChanged(qreal rate)
{
    videoLog.log(6, "VideoImpl::playbackRateChanged() - rate : %d", int(rate));
    Q_EMIT actionStatusChanged(currentActionStatus());
}
