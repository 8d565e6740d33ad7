#pragma once

class CameraImage;

/// Receives a stream's frames. Both operations are called on the camera library's capture
/// thread; an implementation that touches widgets must hand the work to the GUI thread.
class QImageFrameGrabber
{
public:
    virtual ~QImageFrameGrabber() = default;

    /// A new frame. The stream delivers the next one only after its control object's
    /// framePainted() (see DocCamControl), so a slow consumer gets fewer, fresher frames.
    virtual void oneFrameFetched(const CameraImage &frame) = 0;
    /// The stream failed; DocCamErrorFrame (0xE0000000) means the camera is gone.
    virtual void frameError(int code) = 0;
};
