#pragma once

#include "CameraStarter.h"
#include "CameraThrottleController.h"
#include "WebCamIntf.h"

#include <DocCamManagerEventListener.h>
#include <SharedComponent.h>

#include <QList>
#include <QMap>
#include <QPointer>

#include <functional>
#include <mutex>

class CameraWidget;
class DocCamControl;
class DocCamManager;
class KivoDocCam;
class QTimer;
class SettingIntf;

/// The webcam component over the camera library's webcam manager.
///
/// Manager events arrive on the library's event thread and are handed to the GUI thread, where
/// every operation runs under the component mutex (recursive: selections call each other).
class WebCamImpl : public WebCamIntf,
                   public DocCamManagerEventListener,
                   public CameraThrottleController,
                   public SharedComponent<WebCamImpl, std::recursive_mutex>
{
    Q_OBJECT
    friend SharedComponent<WebCamImpl, std::recursive_mutex>;

public:
    using SharedComponent<WebCamImpl, std::recursive_mutex>::getInstance;

    void release() override;

    CameraWidget *mainView() override;
    CameraWidget *auxView() override;
    CameraWidget *createAuxView(QWidget *parent) override;
    void switchDisplayOn() override;
    void switchDisplayOff() override;
    bool isDisplayOn() override;
    int cameraCount() override;
    QList<QString> cameraNames() override;
    int mainCameraIndex() override;
    int auxCameraIndex() override;
    ResultCode selectMainCamera(int index) override;
    ResultCode selectAuxCamera(int index) override;
    void closeAuxCamera() override;

    // DocCamManagerEventListener, on the library's event thread
    void docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera) override;
    // CameraThrottleController, on the GUI thread
    void framePainted(CameraWidget *view) override;

    /// The names the user sees for cameras with these model names, in the same order: a name
    /// carried by one camera alone stays plain, others are numbered from 1 per name.
    static QList<QString> displayNames(const QList<QString> &modelNames);

public Q_SLOTS:
    /// The document camera came up or went away. Some document cameras also appear as a webcam
    /// while they start, so a webcam selection waiting for its camera is tried again at once.
    void docCamConnected(QString modelName);
    void docCamDisconnected();
    void retryWebCamSelection();
    void retryAuxCamSelection();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WebCamImpl(QWidget *parent);
    ~WebCamImpl() override;

    void cameraAdded(KivoDocCam *camera);
    void cameraRemoved(KivoDocCam *camera);
    void selectInitialCameras();
    /// The remembered main webcam: at its stored socket, else the same model anywhere, else
    /// the first camera; -1 without cameras.
    int preferredCameraIndex();
    void rememberMainCamera(KivoDocCam *camera);
    /// Has `starter` open and start `camera` for `view`; `opened` runs with the outcome
    /// unless the camera has gone or the request was cancelled meanwhile.
    void openCamera(CameraStarter *starter, KivoDocCam *camera, CameraWidget *view,
                    std::function<void(CameraStarter::Outcome &)> opened);
    void mainCameraOpened(CameraStarter::Outcome &outcome, bool takenFromAux);
    void openAuxCamera(KivoDocCam *camera);
    void auxCameraOpened(CameraStarter::Outcome &outcome);
    /// Shows the started stream in `view`; false when it did not start.
    bool adoptStream(CameraStarter::Outcome &outcome, CameraWidget *view, KivoDocCam *&camera,
                     DocCamControl *&control);
    /// Lets the main webcam go. An auxiliary view mirroring it opens the camera itself, unless
    /// the camera is gone.
    void closeMainCamera();
    /// Lets the auxiliary webcam go and blanks its view, which stays.
    void closeAuxStream();
    /// Starts the retry timer while the camera is held elsewhere.
    void handleOpenFailure(int opened, CameraWidget *view, QTimer *retryTimer);
    void updateDisplaySize(CameraWidget *view);
    bool auxMirrorsMain() const;

    SettingIntf *settings = nullptr;
    DocCamManager *manager = nullptr;
    QList<KivoDocCam *> cameras; // each holds a reference
    KivoDocCam *mainCamera = nullptr;
    DocCamControl *mainControl = nullptr;
    QPointer<CameraWidget> mainCameraView;
    KivoDocCam *auxCamera = nullptr;
    DocCamControl *auxControl = nullptr;
    QPointer<CameraWidget> auxCameraView;
    // The cameras being opened, or waiting for a retry; they may be gone by the time it fires.
    KivoDocCam *mainPending = nullptr;
    KivoDocCam *auxPending = nullptr;
    QTimer *mainRetryTimer = nullptr;
    QTimer *auxRetryTimer = nullptr;
    CameraStarter *mainStarter = nullptr;
    CameraStarter *auxStarter = nullptr;
    bool displayOn = false;
    QMap<QString, int> nameCounts;
};
