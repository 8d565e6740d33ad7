#pragma once

#include "CameraStarter.h"
#include "CameraThrottleController.h"
#include "CameraWidgetDelegate.h"
#include "CppNotificaitonObserver.h"
#include "KivoscopeIntf.h"

#include <DocCamManagerEventListener.h>
#include <SharedComponent.h>

#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <mutex>

class DocCamControl;
class DocCamManager;
class KivoDocCam;
class PloverHQImageGrabber;
class PloverParametersListener;
class QDialog;

/// The document camera controller over the camera library.
///
/// The library calls back on its own threads; every callback is handed to the GUI thread and
/// handled there under the component mutex (recursive: the tuning dialog runs a nested event
/// loop while an operation holds it).
class KivoscopeImpl : public KivoscopeIntf,
                      public DocCamManagerEventListener,
                      public CameraWidgetDelegate,
                      public CameraThrottleController,
                      public CppNotificaitonObserver,
                      public SharedComponent<KivoscopeImpl, std::recursive_mutex>
{
    Q_OBJECT
    friend SharedComponent<KivoscopeImpl, std::recursive_mutex>;
    friend class PloverHQImageGrabber;
    friend class PloverParametersListener;

public:
    using SharedComponent<KivoscopeImpl, std::recursive_mutex>::getInstance;

    void release() override;

    CameraWidget *view() override;
    void showView() override;
    void hideView() override;
    QSize scaledPictureSize(QSize size) override;
    void resizeView(QSize size) override;
    bool isConnected() override;
    QString modelName() override;
    ResultCode grabCurrentFrame(QImage &image) override;

    ResultCode setBrightness(int value) override;
    ResultCode setContrast(int value) override;
    ResultCode toggleFreeze() override;
    ResultCode rotate() override;
    ResultCode toggleMirror() override;
    ResultCode setColorEffect(int effect) override;
    ResultCode setCameraMode(int mode) override;
    ResultCode autoFocus() override;
    ResultCode zoomIn() override;
    ResultCode zoomOut() override;
    ResultCode zoomReset() override;
    ResultCode brightnessUp() override;
    ResultCode brightnessDown() override;
    ResultCode contrastUp() override;
    ResultCode contrastDown() override;
    ResultCode exposureUp() override;
    ResultCode exposureDown() override;
    ResultCode focusFar() override;
    ResultCode focusNear() override;
    ResultCode redGainUp() override;
    ResultCode redGainDown() override;
    ResultCode blueGainUp() override;
    ResultCode blueGainDown() override;
    ResultCode setAutoImage(bool on) override;
    ResultCode setAutoWhiteBalance(bool on) override;
    ResultCode setAutoExposure(bool on) override;
    ResultCode resetToDefaults() override;

    int brightness() override;
    int contrast() override;
    int exposure() override;
    int colorEffect() override;
    int cameraMode() override;
    uint actionStatus() override;
    bool autoWhiteBalance() override;
    bool autoExposure() override;
    bool autoImage() override;

    ResultCode requestHQImage() override;
    ResultCode releaseCameraForOtherApp() override;
    ResultCode reconnect() override;
    void setStillCaptureHandler(std::function<void()> handler) override;

    // DocCamManagerEventListener, on the library's event thread
    void docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera) override;
    // CameraWidgetDelegate and CameraThrottleController, on the GUI thread
    void pictureStarted(CameraWidget *view) override;
    void framePainted(CameraWidget *view) override;
    // CppNotificaitonObserver
    void notificationReceived(const QString &name) override;

    /// The action status a camera with these properties publishes; see computeActionStatus().
    struct StatusInputs
    {
        std::uint32_t capabilities = 0;
        std::uint8_t capabilityByte = 0;
        std::uint32_t featureBits = 0;
        std::uint32_t inputBits = 0;
        QString modelName;
        bool autoExposure = true;
        bool autoWhiteBalance = true;
        int colorEffect = 0;
    };
    static uint computeActionStatus(const StatusInputs &inputs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public Q_SLOTS:
    void selectOneDocCam();
    void hqTimeOut();
    void triggerCaptureVision();

private:
    explicit KivoscopeImpl(QWidget *parent);
    ~KivoscopeImpl() override;

    /// The system is going to sleep (0) or has woken (1).
    static void systemEvent(int event, void *context);
    void cameraAdded(KivoDocCam *camera);
    void cameraRemoved(KivoDocCam *camera);
    /// The cameras an automatic selection tries now, in list order; none while connected.
    CameraStarter::Attempt selectionAttempt();
    /// The end of a selection: connects the camera that started, or says that one is in use.
    void selectionFinished(CameraStarter::Outcome &outcome);
    void disconnectCamera();
    void showInUseNotice();
    /// Reads every parameter of the newly connected camera and announces it.
    void readParameters();
    void publishActionStatus();
    StatusInputs statusInputs() const;
    /// Runs `command` on the control object, or answers -1000 without one.
    template<typename Command> ResultCode withControl(Command command);
    ResultCode runTuningDialog(ResultCode result);

    // Parameter changes reported by the camera, on the GUI thread.
    void hqImageArrived(const QImage &image);
    void brightnessValueChanged(KivoDocCam *camera, int value);
    void contrastValueChanged(KivoDocCam *camera, int value);
    void zoomRatioValueChanged(KivoDocCam *camera, double ratio);
    void rotationValueChanged(KivoDocCam *camera, unsigned degrees);
    void mirrorValueChanged(KivoDocCam *camera, bool on);
    void freezeValueChanged(KivoDocCam *camera, bool on);
    void autoWhiteBalanceValueChanged(KivoDocCam *camera, bool on);
    void autoExposureValueChanged(KivoDocCam *camera, bool on);
    void exposureValueChanged(KivoDocCam *camera, int value);
    void autoImageValueChanged(KivoDocCam *camera, bool on);
    void colorEffectValueChanged(KivoDocCam *camera, int cameraValue);
    void cameraModeValueChanged(KivoDocCam *camera, int modeNumber, bool modeFlagOn);
    void inputStatusValueChanged(KivoDocCam *camera);
    void parameterTuningProcessEnded(KivoDocCam *camera);

    QList<KivoDocCam *> cameras; // each holds a reference
    KivoDocCam *currentCamera = nullptr;
    DocCamControl *control = nullptr;
    QPointer<CameraWidget> cameraView;
    DocCamManager *manager = nullptr;
    bool hqPending = false;
    std::function<void()> stillCaptureHandler;
    QTimer *hqTimer = nullptr;
    QTimer *selectTimer = nullptr;
    CameraStarter *starter = nullptr;
    std::unique_ptr<PloverHQImageGrabber> hqGrabber;
    std::unique_ptr<PloverParametersListener> parametersListener;
    uint currentActionStatus = 0;
    QPointer<QDialog> tuningDialog;
    int cachedBrightness = 0;
    int cachedContrast = 0;
    double zoomRatio = 1.0;
    uint rotation = 0;
    bool mirror = false;
    bool freeze = false;
    bool autoWhiteBalanceState = true;
    bool autoExposureState = true;
    int cachedExposure = 0;
    bool autoImageState = false;
    int cachedColorEffect = 1;
    int rawCameraMode = 4;
    bool modeFlag = false;
    int cachedCameraMode = 0;
    bool inUseNoticeShown = false;
    bool inputsClearedOnce = false;
    bool releasedForOtherApp = false;
};
