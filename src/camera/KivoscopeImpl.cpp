#include "KivoscopeImpl.h"

#include "CameraHandOver.h"
#include "CameraWidget.h"
#include "KivoscopeCallbacks.h"

#include <CameraImage.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>
#include <KivoSystemOsal.h>
#include <LogModule.h>
#include <MessageBox.h>
#include <ThreadHandOver.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>

namespace {
const LogModule kivoscopeLog("velora/kivoscope");

const QString NotConnected = QStringLiteral("Camera not connected");
const QString InUse = QStringLiteral("Camera in use");
const QString InUseNotification = QStringLiteral("KVDocCamInUseNotification");
const QString NoDocCamNotification = QStringLiteral("KVNoDoCamNotification");
constexpr int HqTimeoutMs = 10000;
constexpr int SelectRetryMs = 2000;

} // namespace

KivoscopeIntf *KivoscopeIntf::getInstance(QWidget *parent)
{
    return KivoscopeImpl::getInstance(parent);
}

KivoscopeImpl::KivoscopeImpl(QWidget *parent)
{
    CppNotificaitonObserver::addObserver(InUseNotification, this);
    CppNotificaitonObserver::addObserver(NoDocCamNotification, this);

    hqTimer = new QTimer(this);
    hqTimer->setObjectName(QStringLiteral("hqTimer"));
    hqTimer->setSingleShot(true);
    hqTimer->setInterval(HqTimeoutMs);
    connect(hqTimer, &QTimer::timeout, this, &KivoscopeImpl::hqTimeOut);
    selectTimer = new QTimer(this);
    selectTimer->setObjectName(QStringLiteral("selectTimer"));
    selectTimer->setSingleShot(true);
    selectTimer->setInterval(SelectRetryMs);
    connect(selectTimer, &QTimer::timeout, this, &KivoscopeImpl::selectOneDocCam);
    starter = new CameraStarter(this);

    cameraView = new CameraWidget(this, parent);
    cameraView->setDelegate(this);
    cameraView->setStatusText(NotConnected);
    cameraView->installEventFilter(this);
    hqGrabber = std::make_unique<PloverHQImageGrabber>(this);
    parametersListener = std::make_unique<PloverParametersListener>(this);

    manager = DocCamManager::getDocCamManager({});
    manager->registerEventListener(this);
    manager->start();
    KivoSystemOsal::osalRegisterSystemEventListener(&KivoscopeImpl::systemEvent, this);
}

void KivoscopeImpl::systemEvent(int event, void *context)
{
    auto *controller = static_cast<KivoscopeImpl *>(context);
    // Delivered wherever the system reports it; acted on in the GUI thread.
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            controller,
            [controller, event] {
                ThreadHandOver::received();
                if (event == DocCam::SystemEventSuspend)
                    controller->disconnectCamera();
                else if (event == DocCam::SystemEventResume)
                    controller->selectOneDocCam();
            },
            Qt::QueuedConnection);
}

KivoscopeImpl::~KivoscopeImpl()
{
    KivoSystemOsal::osalRegisterSystemEventListener(nullptr, nullptr);
    CppNotificaitonObserver::removeObserver(InUseNotification, this);
    CppNotificaitonObserver::removeObserver(NoDocCamNotification, this);
    hqTimer->disconnect(this);
    selectTimer->disconnect(this);
    // Before the view and the manager go: a start still running is waited for and let go.
    starter->abandon();
    disconnectCamera();
    manager->unregisterEventListener(this);
    for (KivoDocCam *camera : std::as_const(cameras))
        camera->release();
    cameras.clear();
    manager->release();
    hqGrabber.reset();
    parametersListener.reset();
    if (cameraView)
        cameraView->removeEventFilter(this);
    delete cameraView.data();
}

void KivoscopeImpl::release()
{
    releaseShared();
}

// ---- The view ----

CameraWidget *KivoscopeImpl::view()
{
    std::lock_guard lock(componentMutex());
    return cameraView.data();
}

void KivoscopeImpl::showView()
{
    std::lock_guard lock(componentMutex());
    if (cameraView)
        cameraView->show();
}

void KivoscopeImpl::hideView()
{
    std::lock_guard lock(componentMutex());
    if (cameraView)
        cameraView->hide();
}

QSize KivoscopeImpl::scaledPictureSize(QSize size)
{
    std::lock_guard lock(componentMutex());
    DocCam::VideoFormat format;
    if (!currentCamera || currentCamera->getCurrentVideoFormat(format) != DocCam::Ok
        || !format.isValid())
        return size;
    QSize picture = format.size;
    if (rotation == 90 || rotation == 270)
        picture.transpose();
    return picture.scaled(size, Qt::KeepAspectRatio);
}

void KivoscopeImpl::resizeView(QSize size)
{
    std::lock_guard lock(componentMutex());
    if (!cameraView)
        return;
    cameraView->resize(size);
}

bool KivoscopeImpl::eventFilter(QObject *watched, QEvent *event)
{
    // However the view gets its size, the camera need not decode more pixels than it shows.
    // The type first: a view being destroyed still sends events, and is no CameraWidget then.
    if (event->type() == QEvent::Resize && watched == static_cast<QObject *>(cameraView.get())) {
        std::lock_guard lock(componentMutex());
        if (control)
            control->setDisplaySize(cameraView->size() * cameraView->devicePixelRatio());
    }
    return KivoscopeIntf::eventFilter(watched, event);
}

bool KivoscopeImpl::isConnected()
{
    std::lock_guard lock(componentMutex());
    return currentCamera && cameraView && !cameraView->frame().isNull();
}

QString KivoscopeImpl::modelName()
{
    std::lock_guard lock(componentMutex());
    return currentCamera ? currentCamera->modelName() : QString();
}

ResultCode KivoscopeImpl::grabCurrentFrame(QImage &image)
{
    std::lock_guard lock(componentMutex());
    if (!currentCamera)
        return Result::NoDevice;
    // A camera unplugged a moment ago answers before its removal reaches this thread; callers
    // must be able to tell that from a camera that merely has no picture yet.
    switch (currentCamera->grabCurrentFrame(image)) {
    case DocCam::Ok:
        return Result::Success;
    case DocCam::ErrorDevice:
        return Result::NoDevice;
    default:
        return Result::Failure;
    }
}

void KivoscopeImpl::pictureStarted(CameraWidget *)
{
    std::lock_guard lock(componentMutex());
    if (currentCamera)
        Q_EMIT docCamConnected(currentCamera->modelName());
}

void KivoscopeImpl::framePainted(CameraWidget *)
{
    std::lock_guard lock(componentMutex());
    if (control)
        control->framePainted();
}

// ---- Cameras coming and going ----

void KivoscopeImpl::docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera)
{
    handOverCameraEvent(
            this, event, camera, [this](KivoDocCam *held) { cameraAdded(held); },
            [this](KivoDocCam *held) { cameraRemoved(held); });
}

void KivoscopeImpl::cameraAdded(KivoDocCam *camera)
{
    std::lock_guard lock(componentMutex());
    if (cameras.contains(camera))
        return;
    camera->addRef();
    cameras.append(camera);
    // Searched one turn of the event loop later: cameras found together at start-up are then
    // all in the list, and a busy first one does not raise a notice while a free second waits.
    if (!currentCamera)
        QMetaObject::invokeMethod(this, &KivoscopeImpl::selectOneDocCam, Qt::QueuedConnection);
}

void KivoscopeImpl::cameraRemoved(KivoDocCam *camera)
{
    std::lock_guard lock(componentMutex());
    if (!cameras.removeOne(camera))
        return;
    if (camera == currentCamera) {
        disconnectCamera();
        if (cameraView)
            cameraView->update();
        Q_EMIT docCamDisconnected();
    }
    camera->release();
    if (cameras.isEmpty()) {
        if (cameraView)
            cameraView->setStatusText(NotConnected);
    } else if (!currentCamera) {
        selectOneDocCam();
    }
}

void KivoscopeImpl::selectOneDocCam()
{
    std::lock_guard lock(componentMutex());
    selectTimer->stop();
    if (currentCamera) {
        if (cameraView)
            cameraView->setStatusText(NotConnected);
        return;
    }
    // Starting a camera can take seconds (a busy device, a control waiting for its USB
    // timeout), so the window goes on while the starter tries them; selectionFinished() hears
    // how it went. Asked again meanwhile, the search runs once more after this one.
    starter->request([this] { return selectionAttempt(); });
}

CameraStarter::Attempt KivoscopeImpl::selectionAttempt()
{
    std::lock_guard lock(componentMutex());
    if (currentCamera)
        return {};
    return {cameras, cameraView, [this](CameraStarter::Outcome &outcome) {
                selectionFinished(outcome);
            }};
}

void KivoscopeImpl::selectionFinished(CameraStarter::Outcome &outcome)
{
    std::lock_guard lock(componentMutex());
    if (currentCamera)
        return;
    if (cameraView)
        cameraView->setStatusText(NotConnected);
    // A camera unplugged while it started is let go with the outcome; its removal has asked
    // for another search already.
    if (outcome.started() && cameras.contains(outcome.camera())) {
        currentCamera = outcome.camera();
        control = outcome.takeControl();
        if (cameraView) {
            control->setDisplaySize(cameraView->size() * cameraView->devicePixelRatio());
            cameraView->setWaiting(true);
        }
        currentCamera->installHQImageGrabber(hqGrabber.get());
        currentCamera->installParametersListener(parametersListener.get());
        inputsClearedOnce = false;
        readParameters();
        publishActionStatus();
        return;
    }

    // Released for another application, that application holding the camera is expected. A
    // camera held elsewhere but unplugged meanwhile needs no retry.
    if (outcome.started() || !outcome.inUse() || releasedForOtherApp || cameras.isEmpty())
        return;
    if (cameraView)
        cameraView->setStatusText(InUse);
    selectTimer->start(SelectRetryMs);
    showInUseNotice();
}

void KivoscopeImpl::showInUseNotice()
{
    if (inUseNoticeShown)
        return;
    inUseNoticeShown = true;
    MessageBox::Question question;
    question.icon = QMessageBox::Warning;
    question.title = QStringLiteral("Kivo DocCam in use!");
    question.text = QStringLiteral("Other applications are using the DocCam.");
    question.informativeText
            = QStringLiteral("Please try to close some applications and try again.");
    question.buttons = QMessageBox::Ok;
    question.parent = QApplication::activeWindow();
    MessageBox::ask(question);
}

void KivoscopeImpl::disconnectCamera()
{
    std::lock_guard lock(componentMutex());
    // A start still running would connect the camera again behind the caller's back.
    starter->cancel();
    if (!currentCamera)
        return;
    if (cameraView)
        cameraView->setWaiting(false);
    currentCamera->removeParametersListener(parametersListener.get());
    currentCamera->removeHQImageGrabber(hqGrabber.get());
    // Stopping the stream first means no frame of this camera can follow the blank one below.
    DocCamControl *stopped = control;
    control = nullptr;
    if (stopped)
        stopped->release();
    if (tuningDialog)
        tuningDialog->reject();
    if (hqPending) {
        hqPending = false;
        hqTimer->stop();
        Q_EMIT hqImageCaptureAborted(Result::NoDevice);
    }
    currentCamera = nullptr;
    currentActionStatus = 0;
    if (cameraView) {
        cameraView->oneFrameFetched(CameraImage());
        cameraView->setStatusText(NotConnected);
    }
    Q_EMIT actionStatusChanged(0);
}

ResultCode KivoscopeImpl::releaseCameraForOtherApp()
{
    std::lock_guard lock(componentMutex());
    if (cameras.isEmpty())
        return Result::NoDevice;
    disconnectCamera();
    releasedForOtherApp = true;
    return Result::Success;
}

ResultCode KivoscopeImpl::reconnect()
{
    std::lock_guard lock(componentMutex());
    if (cameras.isEmpty())
        return Result::NoDevice;
    selectOneDocCam();
    // Waited for, unlike the automatic searches: the user asked, and is answered from the
    // result (told to log out of the other application and try again when it failed).
    starter->waitForIdle();
    if (!currentCamera)
        return KivoscopeResult::ReconnectFailed;
    releasedForOtherApp = false;
    return Result::Success;
}

void KivoscopeImpl::notificationReceived(const QString &name)
{
    std::lock_guard lock(componentMutex());
    if (!cameraView)
        return;
    if (name == InUseNotification && cameraView->statusText() != InUse) {
        cameraView->setStatusText(InUse);
        showInUseNotice();
    } else if (name == NoDocCamNotification) {
        cameraView->setStatusText(NotConnected);
    }
}

// ---- High-quality stills ----

ResultCode KivoscopeImpl::requestHQImage()
{
    std::lock_guard lock(componentMutex());
    if (!currentCamera)
        return Result::NoDevice;
    if (!currentCamera->isHQImageSupported())
        return KivoscopeResult::NoHQImage;
    if (freeze)
        return KivoscopeResult::Frozen;
    if (hqPending)
        return Result::Success;
    const int asked = currentCamera->requestHQImage();
    if (asked < 0)
        return asked;
    hqPending = true;
    hqTimer->start(HqTimeoutMs);
    return Result::Success;
}

void KivoscopeImpl::hqImageArrived(const QImage &image)
{
    std::lock_guard lock(componentMutex());
    if (!image.isNull() || hqPending) {
        hqPending = false;
        hqTimer->stop();
        Q_EMIT hqImageCaptured(image);
        return;
    }
    // A still nobody asked for and that failed: the camera's own capture button. Take the
    // picture from the live frame instead, once this call has returned.
    QTimer::singleShot(1, this, &KivoscopeImpl::triggerCaptureVision);
}

void KivoscopeImpl::hqTimeOut()
{
    std::lock_guard lock(componentMutex());
    if (!hqPending)
        return;
    hqPending = false;
    Q_EMIT hqImageCaptureAborted(Result::Failure);
}

void KivoscopeImpl::setStillCaptureHandler(std::function<void()> handler)
{
    std::lock_guard lock(componentMutex());
    stillCaptureHandler = std::move(handler);
}

void KivoscopeImpl::triggerCaptureVision()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(componentMutex());
        handler = stillCaptureHandler;
    }
    if (!handler) {
        kivoscopeLog.log(5,
                         QStringLiteral("KivoscopeImpl::triggerCaptureVision() - No capture "
                                        "component to take the picture"));
        return;
    }
    // Outside the lock: the capture waits in a dialog for a still this controller delivers.
    handler();
}
