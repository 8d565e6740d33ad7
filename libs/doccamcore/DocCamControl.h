#pragma once

#include <QSize>

/// Drives an open stream, from KivoDocCam::openStream(). Every call may be made from any thread
/// and answers DocCam::Ok, DocCam::Tuning (the camera is tuning itself; the end is reported to
/// the parameters listener) or a negative library code.
class DocCamControl
{
public:
    virtual ~DocCamControl() = default;

    /// Starts streaming; DocCam::ErrorBusy when another application holds the camera.
    virtual int start() = 0;
    /// Stops streaming; the control stays usable for start().
    virtual int stop() = 0;
    /// Stops streaming and gives the control back; it must not be used afterwards.
    virtual void release() = 0;

    /// The consumer has shown the last delivered frame; the stream may deliver the next one.
    virtual void framePainted() = 0;
    /// The largest size, in device pixels, at which the consumer shows frames. The stream may
    /// then deliver a larger picture shrunk to the largest size of its own shape that fits in
    /// this one, which the consumer can show without resampling it (a JPEG decoded at reduced
    /// size costs a fraction of a full decode). An empty size asks for full frames again.
    virtual void setDisplaySize(QSize size) = 0;

    virtual int setBrightness(int value) = 0; ///< 0 to 100
    virtual int setContrast(int value) = 0; ///< 0 to 100
    virtual int setRotation(unsigned degrees) = 0; ///< 0, 90, 180 or 270
    virtual int setMirror(bool on) = 0;
    virtual int setFreeze(bool on) = 0;
    virtual int setColorEffect(int cameraValue) = 0; ///< DocCam::ColorEffect*
    virtual int setCameraMode(int modeNumber) = 0; ///< DocCam::Mode*
    virtual int setModeFlag(bool on) = 0; ///< the separate wide-angle switch
    virtual int setAutoWhiteBalance(bool on) = 0;
    virtual int setAutoExposure(bool on) = 0;
    virtual int setAutoImage(bool on) = 0;

    virtual int autoFocus() = 0;
    virtual int focusFar() = 0;
    virtual int focusNear() = 0;
    virtual int zoomIn() = 0;
    virtual int zoomOut() = 0;
    virtual int zoomReset() = 0;
    virtual int brightnessUp() = 0;
    virtual int brightnessDown() = 0;
    virtual int contrastUp() = 0;
    virtual int contrastDown() = 0;
    virtual int exposureUp() = 0;
    virtual int exposureDown() = 0;
    virtual int redGainUp() = 0;
    virtual int redGainDown() = 0;
    virtual int blueGainUp() = 0;
    virtual int blueGainDown() = 0;
    /// Returns brightness, contrast, exposure, white balance, focus, rotation and mirror to the
    /// camera's defaults, and forgets the settings remembered for the camera.
    virtual int resetToDefaults() = 0;
};
