#pragma once

#include <DocCamParametersListener.h>
#include <QImageHQImageGrabber.h>

class KivoscopeImpl;

/// Receives the camera's high-quality stills on the library's thread and hands them to the
/// controller on the GUI thread.
class PloverHQImageGrabber : public QImageHQImageGrabber
{
public:
    explicit PloverHQImageGrabber(KivoscopeImpl *owner)
        : owner(owner)
    { }
    void hqImageGrabbed(const QImage &image) override;

private:
    KivoscopeImpl *owner;
};

/// Receives the camera's parameter changes on the library's thread and hands them to the
/// controller on the GUI thread.
class PloverParametersListener : public DocCamParametersListener
{
public:
    explicit PloverParametersListener(KivoscopeImpl *owner)
        : owner(owner)
    { }
    void brightnessChanged(KivoDocCam *camera, int value) override;
    void contrastChanged(KivoDocCam *camera, int value) override;
    void zoomRatioChanged(KivoDocCam *camera, double ratio) override;
    void rotationChanged(KivoDocCam *camera, unsigned degrees) override;
    void mirrorChanged(KivoDocCam *camera, bool on) override;
    void freezeChanged(KivoDocCam *camera, bool on) override;
    void autoWhiteBalanceChanged(KivoDocCam *camera, bool on) override;
    void autoExposureChanged(KivoDocCam *camera, bool on) override;
    void exposureChanged(KivoDocCam *camera, int value) override;
    void autoImageChanged(KivoDocCam *camera, bool on) override;
    void colorEffectChanged(KivoDocCam *camera, int cameraValue) override;
    void cameraModeChanged(KivoDocCam *camera, int modeNumber) override;
    void modeFlagChanged(KivoDocCam *camera, bool on) override;
    void inputStatusChanged(KivoDocCam *camera, unsigned int bits) override;
    void parameterTuningProcessEnded(KivoDocCam *camera) override;

private:
    KivoscopeImpl *owner;
};
