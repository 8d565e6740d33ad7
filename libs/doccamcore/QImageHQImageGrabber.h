#pragma once

class QImage;

/// Receives high-quality stills, on the camera library's capture thread.
class QImageHQImageGrabber
{
public:
    virtual ~QImageHQImageGrabber() = default;

    /// A still requested with KivoDocCam::requestHQImage(); a null image when it failed.
    virtual void hqImageGrabbed(const QImage &image) = 0;
};
