#pragma once

#include "DocCamTypes.h"

#include <QImage>
#include <QString>

class DocCamControl;
class DocCamParametersListener;
class QImageFrameGrabber;
class QImageHQImageGrabber;

/// One attached camera. Reference counted: the manager holds one reference while the camera is
/// attached; a user keeps it alive with addRef() and gives it back with release(). Every
/// operation may be called from any thread.
class KivoDocCam
{
public:
    virtual void addRef() = 0;
    virtual void release() = 0;

    virtual QString modelName() const = 0;
    virtual quint16 vendorId() const = 0;
    virtual quint16 productId() const = 0;
    /// Where the camera is plugged in (USB bus and port path, hashed to 32 bits), so that the
    /// same camera in the same socket is recognised again.
    virtual quint32 locationId() const = 0;
    /// True for a document camera, false for a webcam.
    virtual bool isDocumentCamera() const = 0;

    /// The format the live stream uses: the largest size at the highest frame rate.
    virtual int getCurrentVideoFormat(DocCam::VideoFormat &format) const = 0;
    /// Opens the stream with `format`, delivering frames to `grabber`; `control` receives the
    /// stream's control object. Streaming begins with DocCamControl::start().
    virtual int openStream(const DocCam::VideoFormat &format, QImageFrameGrabber *grabber,
                           DocCamControl **control)
            = 0;
    /// The latest frame as the consumer sees it (with zoom, rotation and effects applied).
    virtual int grabCurrentFrame(QImage &image) = 0;

    virtual bool isHQImageSupported() const = 0;
    /// Asks for one high-quality still, delivered later to the installed grabber.
    virtual int requestHQImage() = 0;
    virtual void installHQImageGrabber(QImageHQImageGrabber *grabber) = 0;
    virtual void removeHQImageGrabber(QImageHQImageGrabber *grabber) = 0;

    virtual void installParametersListener(DocCamParametersListener *listener) = 0;
    virtual void removeParametersListener(DocCamParametersListener *listener) = 0;

    // The parameter cache; colour effect and mode as the camera numbers them.
    virtual int brightness() const = 0;
    virtual int contrast() const = 0;
    virtual double zoomRatio() const = 0;
    virtual unsigned rotation() const = 0;
    virtual bool mirror() const = 0;
    virtual bool freeze() const = 0;
    virtual bool autoWhiteBalance() const = 0;
    virtual bool autoExposure() const = 0;
    virtual int exposure() const = 0;
    virtual bool autoImage() const = 0;
    virtual int colorEffect() const = 0;
    virtual int cameraMode() const = 0;
    virtual bool modeFlag() const = 0;
    virtual int focus() const = 0;
    virtual unsigned redGain() const = 0;
    virtual unsigned blueGain() const = 0;

    /// What the camera offers (DocCam::Capability bits), in hardware or in software.
    virtual std::uint32_t capabilities() const = 0;
    /// The offered capabilities the library carries out in software on the frame.
    virtual std::uint32_t softwareCapabilities() const = 0;
    /// The vendor's capability byte, feature bits and input bits (0 for cameras without them).
    virtual std::uint8_t capabilityByte() const = 0;
    virtual std::uint32_t featureBits() const = 0;
    virtual std::uint32_t inputBits() const = 0;

protected:
    virtual ~KivoDocCam() = default;
};
