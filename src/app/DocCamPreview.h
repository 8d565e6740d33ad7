#pragma once

#include <CameraThrottleController.h>
#include <DocCamManagerEventListener.h>

#include <QList>
#include <QObject>
#include <QTimer>

class CameraWidget;
class DocCamControl;
class DocCamManager;
class QWidget;

/// Shows the first usable document camera live in a CameraWidget, follows cameras being
/// plugged in and out, and paces the camera to the view's painting. It stands in the main
/// window until the full camera controller takes its place.
class DocCamPreview : public QObject,
                      public DocCamManagerEventListener,
                      public CameraThrottleController
{
    Q_OBJECT

public:
    explicit DocCamPreview(QWidget *parent);
    ~DocCamPreview() override;

    CameraWidget *view() const { return cameraView; }

    void docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera) override;
    void framePainted(CameraWidget *view) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cameraAdded(KivoDocCam *camera);
    void cameraRemoved(KivoDocCam *camera);
    /// Opens the first camera that starts; "Camera in use" and a retry when all are held.
    void connectCamera();
    void disconnectCamera();

    CameraWidget *cameraView;
    DocCamManager *manager;
    QList<KivoDocCam *> cameras; // each holds a reference
    KivoDocCam *current = nullptr;
    DocCamControl *control = nullptr;
    QTimer retryTimer;
};
