#pragma once

#include "MediaService.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <mutex>

class QWidget;

/// Takes the pictures a MediaService decodes and keeps the newest for the widget to paint.
///
/// deliverFrame() runs on the service's decode thread: it only swaps the image under the mutex
/// and posts one repaint to the widget's thread; frames that come in faster than the fps hint
/// allows are dropped there, before anything is stored. Everything else runs on the GUI thread.
class VideoFrameReceiver : public VideoFrameSink
{
public:
    explicit VideoFrameReceiver(QWidget *widget);

    QSize targetSize() const override;
    void deliverFrame(QImage frame, qint64 ptsMs) override;

    /// The size frames are scaled to: the widget's, in device pixels.
    void setTargetSize(const QSize &size);
    /// At most `fps` frames a second are kept, counted in the frames' own times; 0 keeps all.
    void setFpsHint(uint fps);
    uint fpsHint() const { return maxFps.load(); }

    /// The newest frame, null when none arrived since the last clear().
    QImage frame() const;
    /// The time of the frame frame() returns; -1 without one.
    qint64 framePts() const;
    void clear();

private:
    /// True when a frame at `ptsMs` comes too soon after the last one kept.
    bool tooSoon(qint64 ptsMs) const;

    // The widget owns the receiver and detaches it from the service before it goes.
    QWidget *const widget;
    mutable std::mutex mutex;
    QImage current;
    qint64 currentPts = -1;
    QSize target;
    std::atomic<uint> maxFps{0};
    // One repaint in flight is enough: it paints whatever frame is newest when it runs.
    std::atomic<bool> repaintPending{false};
};
