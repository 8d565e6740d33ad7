#pragma once

class KivoDocCam;

/// Told about every change of a camera's parameters, on the camera library's event thread.
/// Values are the camera's own: colour effects and modes as numbered in DocCamTypes.h.
class DocCamParametersListener
{
public:
    virtual ~DocCamParametersListener() = default;

    virtual void brightnessChanged(KivoDocCam *camera, int value) { }
    virtual void contrastChanged(KivoDocCam *camera, int value) { }
    virtual void zoomRatioChanged(KivoDocCam *camera, double ratio) { }
    virtual void rotationChanged(KivoDocCam *camera, unsigned degrees) { }
    virtual void mirrorChanged(KivoDocCam *camera, bool on) { }
    virtual void freezeChanged(KivoDocCam *camera, bool on) { }
    virtual void autoWhiteBalanceChanged(KivoDocCam *camera, bool on) { }
    virtual void autoExposureChanged(KivoDocCam *camera, bool on) { }
    virtual void exposureChanged(KivoDocCam *camera, int value) { }
    virtual void autoImageChanged(KivoDocCam *camera, bool on) { }
    virtual void colorEffectChanged(KivoDocCam *camera, int cameraValue) { }
    virtual void cameraModeChanged(KivoDocCam *camera, int modeNumber) { }
    virtual void modeFlagChanged(KivoDocCam *camera, bool on) { }
    virtual void focusChanged(KivoDocCam *camera, int position) { }
    virtual void whiteBalanceRedChanged(KivoDocCam *camera, unsigned int value) { }
    virtual void whiteBalanceBlueChanged(KivoDocCam *camera, unsigned int value) { }
    /// The camera's input bits (buttons, sources) changed.
    virtual void inputStatusChanged(KivoDocCam *camera, unsigned int bits) { }
    /// A parameter call answered DocCam::Tuning earlier; the camera has finished tuning.
    virtual void parameterTuningProcessEnded(KivoDocCam *camera) { }
};
