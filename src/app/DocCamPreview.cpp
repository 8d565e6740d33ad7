#include "DocCamPreview.h"

#include <CameraImage.h>
#include <CameraWidget.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>

#include <QEvent>

namespace {
const QString NotConnected = QStringLiteral("Camera not connected");
const QString InUse = QStringLiteral("Camera in use");
constexpr int RetryMs = 2000;
} // namespace

DocCamPreview::DocCamPreview(QWidget *parent)
    : QObject(parent)
    , cameraView(new CameraWidget(this, parent))
    , manager(DocCamManager::getDocCamManager({}))
{
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(RetryMs);
    connect(&retryTimer, &QTimer::timeout, this, &DocCamPreview::connectCamera);
    cameraView->setStatusText(NotConnected);
    cameraView->installEventFilter(this);
    manager->registerEventListener(this);
    manager->start();
}

DocCamPreview::~DocCamPreview()
{
    manager->unregisterEventListener(this);
    disconnectCamera();
    for (KivoDocCam *camera : std::as_const(cameras))
        camera->release();
    manager->release();
}

void DocCamPreview::docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera)
{
    // Runs on the camera library's event thread; the work belongs to the GUI thread.
    if (event != DocCam::ManagerEvent::CameraAdded && event != DocCam::ManagerEvent::CameraRemoved)
        return;
    camera->addRef();
    const bool added = event == DocCam::ManagerEvent::CameraAdded;
    QMetaObject::invokeMethod(
            this,
            [this, camera, added] {
                if (added)
                    cameraAdded(camera);
                else
                    cameraRemoved(camera);
                camera->release();
            },
            Qt::QueuedConnection);
}

bool DocCamPreview::eventFilter(QObject *watched, QEvent *event)
{
    // The camera need not decode more pixels than the view can show.
    if (watched == cameraView && event->type() == QEvent::Resize && control)
        control->setDisplaySize(cameraView->size() * cameraView->devicePixelRatio());
    return QObject::eventFilter(watched, event);
}

void DocCamPreview::framePainted(CameraWidget *)
{
    if (control)
        control->framePainted();
}

void DocCamPreview::cameraAdded(KivoDocCam *camera)
{
    if (cameras.contains(camera))
        return;
    camera->addRef();
    cameras.append(camera);
    if (!current)
        connectCamera();
}

void DocCamPreview::cameraRemoved(KivoDocCam *camera)
{
    if (!cameras.removeOne(camera))
        return;
    if (camera == current)
        disconnectCamera();
    camera->release();
    if (!current)
        connectCamera();
}

void DocCamPreview::connectCamera()
{
    retryTimer.stop();
    bool someInUse = false;
    for (KivoDocCam *camera : std::as_const(cameras)) {
        DocCam::VideoFormat format;
        DocCamControl *opened = nullptr;
        if (camera->getCurrentVideoFormat(format) != DocCam::Ok
            || camera->openStream(format, cameraView, &opened) != DocCam::Ok)
            continue;
        const int started = opened->start();
        if (started != DocCam::Ok) {
            someInUse = someInUse || started == DocCam::ErrorBusy;
            opened->release();
            continue;
        }
        current = camera;
        control = opened;
        control->setDisplaySize(cameraView->size() * cameraView->devicePixelRatio());
        cameraView->setWaiting(true);
        return;
    }
    cameraView->setStatusText(someInUse ? InUse : NotConnected);
    if (someInUse)
        retryTimer.start();
}

void DocCamPreview::disconnectCamera()
{
    if (!control)
        return;
    cameraView->setWaiting(false);
    control->release(); // joins the capture thread: no frame arrives after this
    control = nullptr;
    current = nullptr;
    cameraView->oneFrameFetched(CameraImage());
    cameraView->setStatusText(NotConnected);
}
