#pragma once

#include <ResultCode.h>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>

class CameraWidget;
class QWidget;

/// Result codes of the document camera controller beyond the common ones.
namespace KivoscopeResult {
/// The camera cannot take high-quality stills.
constexpr ResultCode NoHQImage = -2000;
/// An argument out of range.
constexpr ResultCode OutOfRange = -2002;
/// The picture is frozen.
constexpr ResultCode Frozen = -2004;
/// Reconnecting found no usable camera.
constexpr ResultCode ReconnectFailed = -2005;
} // namespace KivoscopeResult

/// The one place that knows about document cameras: it connects to one camera at a time,
/// shows its picture in a camera view, republishes its parameters as signals, forwards the
/// presenter's picture commands and delivers high-quality stills.
///
/// Operations answer 0 on success, -1000 without a camera, the codes in KivoscopeResult, or a
/// negative code of the camera library.
class KivoscopeIntf : public QObject
{
    Q_OBJECT

public:
    /// The shared controller, created with its view as a child of `parent` on first use.
    static KivoscopeIntf *getInstance(QWidget *parent = nullptr);

    virtual void release() = 0;

    virtual CameraWidget *view() = 0;
    virtual void showView() = 0;
    virtual void hideView() = 0;
    /// The camera's picture size (turned for 90° and 270°) fitted into `size`; `size` itself
    /// without a camera.
    virtual QSize scaledPictureSize(QSize size) = 0;
    virtual void resizeView(QSize size) = 0;
    /// A camera is connected and its picture is showing.
    virtual bool isConnected() = 0;
    virtual QString modelName() = 0;
    virtual ResultCode grabCurrentFrame(QImage &image) = 0;

    virtual ResultCode setBrightness(int value) = 0;
    virtual ResultCode setContrast(int value) = 0;
    virtual ResultCode toggleFreeze() = 0;
    virtual ResultCode rotate() = 0;
    virtual ResultCode toggleMirror() = 0;
    /// 0 colour, 1 black and white, 2 negative.
    virtual ResultCode setColorEffect(int effect) = 0;
    /// 0 normal, 1 enhance, 2 wide angle, 3 microscope, 4 infinity, 5 macro.
    virtual ResultCode setCameraMode(int mode) = 0;
    virtual ResultCode autoFocus() = 0;
    virtual ResultCode zoomIn() = 0;
    virtual ResultCode zoomOut() = 0;
    virtual ResultCode zoomReset() = 0;
    virtual ResultCode brightnessUp() = 0;
    virtual ResultCode brightnessDown() = 0;
    virtual ResultCode contrastUp() = 0;
    virtual ResultCode contrastDown() = 0;
    virtual ResultCode exposureUp() = 0;
    virtual ResultCode exposureDown() = 0;
    virtual ResultCode focusFar() = 0;
    virtual ResultCode focusNear() = 0;
    virtual ResultCode redGainUp() = 0;
    virtual ResultCode redGainDown() = 0;
    virtual ResultCode blueGainUp() = 0;
    virtual ResultCode blueGainDown() = 0;
    virtual ResultCode setAutoImage(bool on) = 0;
    virtual ResultCode setAutoWhiteBalance(bool on) = 0;
    virtual ResultCode setAutoExposure(bool on) = 0;
    /// Returns brightness, contrast, exposure, white balance, focus, rotation and mirror to the
    /// camera's defaults and forgets what was remembered for the camera; the changes arrive as
    /// the usual signals.
    virtual ResultCode resetToDefaults() = 0;

    virtual int brightness() = 0;
    virtual int contrast() = 0;
    virtual int exposure() = 0;
    virtual int colorEffect() = 0;
    virtual int cameraMode() = 0;
    virtual uint actionStatus() = 0;
    /// These three answer the opposite of the camera's reported state.
    virtual bool autoWhiteBalance() = 0;
    virtual bool autoExposure() = 0;
    virtual bool autoImage() = 0;

    /// Asks for a high-quality still, delivered by hqImageCaptured or hqImageCaptureAborted.
    virtual ResultCode requestHQImage() = 0;
    /// Lets another application have the camera until reconnect().
    virtual ResultCode releaseCameraForOtherApp() = 0;
    virtual ResultCode reconnect() = 0;
    /// Who takes a picture when the camera's own capture button sends a still that came back
    /// empty; the capture component's owner installs it, an empty function removes it.
    virtual void setStillCaptureHandler(std::function<void()> handler) = 0;

Q_SIGNALS:
    void docCamConnected(QString modelName);
    void docCamDisconnected();
    void actionStatusChanged(uint currentActionStatus);
    void hqImageCaptured(QImage hqImage);
    void hqImageCaptureAborted(int reason);
    void freezeStatusChanged(bool on);
    void brightnessChanged(int value);
    void contrastChanged(int value);
    void zoomRatioChanged(double zoomRatio);
    void rotationChanged(uint degree);
    void mirrorChanged(bool mirror);
    void exposureChanged(int value);
    void autoExposureChanged(bool on);
    void autoWhiteBalanceChanged(bool on);
    void autoImageChanged(bool on);
    void colorEffectChanged(int colorEffect);
    void docCamModeChanged(int docCamMode);

protected:
    KivoscopeIntf() = default;
    ~KivoscopeIntf() override = default;
};
