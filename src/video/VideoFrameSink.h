#pragma once

#include <QImage>
#include <QSize>

/// Receives the decoded pictures of a MediaService. Implemented by the video widget's frame
/// receiver. Both calls come from the service's decode thread.
class VideoFrameSink
{
public:
    virtual ~VideoFrameSink() = default;
    /// The size frames should be converted to (the widget's size, may change at any time); an
    /// empty size means the frame's own size.
    virtual QSize targetSize() const = 0;
    /// One picture, already converted to QImage::Format_RGB32 at targetSize(), handed over
    /// without a copy (the image owns the buffer swscale wrote into); ptsMs its time.
    virtual void deliverFrame(QImage frame, qint64 ptsMs) = 0;
};
