#pragma once

#include <QImageFrameGrabber.h>

#include <mutex>

/// Stands between a stream and its view while it is not yet decided whether the view gets
/// the stream: frames are dropped until open(), then passed on to the view.
///
/// A camera starting on another thread delivers its first frames before the GUI thread hears
/// that it started; a view showing them then would show a camera that may yet be let go, and
/// its paint reports would reach no control object.
class StreamGate final : public QImageFrameGrabber
{
public:
    /// Drops frames from now on.
    void close();
    /// Passes frames to `target` from now on.
    void open(QImageFrameGrabber *target);

    // QImageFrameGrabber, on the camera library's capture thread
    void oneFrameFetched(const CameraImage &frame) override;
    void frameError(int code) override;

private:
    std::mutex mutex;
    QImageFrameGrabber *target = nullptr;
};
