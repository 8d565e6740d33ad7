#include "VideoFrameReceiver.h"

#include <ThreadHandOver.h>

#include <QMetaObject>
#include <QWidget>

VideoFrameReceiver::VideoFrameReceiver(QWidget *widget)
    : widget(widget)
{ }

QSize VideoFrameReceiver::targetSize() const
{
    std::lock_guard lock(mutex);
    return target;
}

void VideoFrameReceiver::setTargetSize(const QSize &size)
{
    std::lock_guard lock(mutex);
    target = size;
}

void VideoFrameReceiver::setFpsHint(uint fps)
{
    maxFps = fps;
}

bool VideoFrameReceiver::tooSoon(qint64 ptsMs) const
{
    const uint fps = maxFps.load();
    // A frame earlier than the kept one follows a seek back: it starts a new count.
    if (fps == 0 || currentPts < 0 || ptsMs < currentPts)
        return false;
    return ptsMs - currentPts <= 1000 / qint64(fps);
}

void VideoFrameReceiver::deliverFrame(QImage frame, qint64 ptsMs)
{
    {
        std::lock_guard lock(mutex);
        if (tooSoon(ptsMs))
            return;
        // The old picture is freed outside the lock, by `frame` going out of scope.
        current.swap(frame);
        currentPts = ptsMs;
    }
    if (repaintPending.exchange(true))
        return;
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            widget,
            [this] {
                ThreadHandOver::received();
                repaintPending = false;
                widget->update();
            },
            Qt::QueuedConnection);
}

QImage VideoFrameReceiver::frame() const
{
    std::lock_guard lock(mutex);
    return current;
}

qint64 VideoFrameReceiver::framePts() const
{
    std::lock_guard lock(mutex);
    return currentPts;
}

void VideoFrameReceiver::clear()
{
    QImage dropped;
    std::lock_guard lock(mutex);
    current.swap(dropped);
    currentPts = -1;
}
