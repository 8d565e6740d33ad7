#pragma once

#include "VideoFrameReceiver.h"

#include <QWidget>

/// Paints the newest frame of the video being played, stretched over the whole widget, on a
/// white-to-grey gradient that shows while there is none.
///
/// The main window gives the widget the frame's aspect ratio; the service scales every frame to
/// the widget's size in device pixels, so painting draws it without scaling again.
class VideoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VideoWidget(QWidget *parent = nullptr);

    /// What the media service hands its frames to.
    VideoFrameReceiver *frameReceiver() { return &receiver; }

    /// At most `fps` frames a second are shown; 0 shows every frame.
    void setFpsHint(uint fps);
    /// The picture size of the file being played, for sizeHint() and fitSize().
    void setFrameSize(const QSize &size);
    QSize frameSize() const { return videoSize; }
    /// The largest size within `size` with the video's aspect ratio; `size` without a video.
    QSize fitSize(const QSize &size) const;
    /// Drops the frame shown; the gradient shows until the next one.
    void clear();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateTargetSize();

    VideoFrameReceiver receiver;
    QSize videoSize;
    // Painting without a frame is normal before the first one and after the end: say it once.
    bool inactiveLogged = false;
};
