#include "WebCamImpl.h"

#include "CameraHandOver.h"

#include "CameraWidget.h"

#include <CameraImage.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>
#include <LogModule.h>
#include <SettingIntf.h>

#include <QEvent>
#include <QTimer>

namespace {
const LogModule webCamLog("velora/webCam");

const QString NotConnected = QStringLiteral("Camera not connected");
const QString InUse = QStringLiteral("Camera in use");
const QString VendorKey = QStringLiteral("webCam/LastWebCamVID");
const QString ProductKey = QStringLiteral("webCam/LastWebCamPID");
const QString LocationKey = QStringLiteral("webCam/LastWebCamLocationID");
constexpr int RetryMs = 2000;

QTimer *makeRetryTimer(QObject *owner, const QString &name)
{
    auto *timer = new QTimer(owner);
    timer->setObjectName(name);
    timer->setSingleShot(true);
    timer->setInterval(RetryMs);
    return timer;
}

void blank(CameraWidget *view)
{
    if (!view)
        return;
    view->setWaiting(false);
    view->oneFrameFetched(CameraImage());
    view->setStatusText(NotConnected);
}

} // namespace

WebCamIntf *WebCamIntf::getInstance(QWidget *parent)
{
    return WebCamImpl::getInstance(parent);
}

WebCamImpl::WebCamImpl(QWidget *parent)
{
    settings = SettingIntf::getInstance();

    mainRetryTimer = makeRetryTimer(this, QStringLiteral("mainRetryTimer"));
    connect(mainRetryTimer, &QTimer::timeout, this, &WebCamImpl::retryWebCamSelection);
    auxRetryTimer = makeRetryTimer(this, QStringLiteral("auxRetryTimer"));
    connect(auxRetryTimer, &QTimer::timeout, this, &WebCamImpl::retryAuxCamSelection);
    mainStarter = new CameraStarter(this);
    auxStarter = new CameraStarter(this);

    mainCameraView = new CameraWidget(this, parent);
    mainCameraView->setObjectName(QStringLiteral("webCamMainView"));
    mainCameraView->setStatusText(NotConnected);
    mainCameraView->installEventFilter(this);
    // The main window switches the display on for the layouts that show a webcam.
    mainCameraView->hide();

    manager = DocCamManager::getDocCamManager({{QStringLiteral("kind"), QStringLiteral("webcam")}});
    manager->registerEventListener(this);
    manager->start();
}

WebCamImpl::~WebCamImpl()
{
    mainRetryTimer->disconnect(this);
    auxRetryTimer->disconnect(this);
    // The auxiliary stream goes first so that closing the main camera hands nothing over.
    closeAuxStream();
    closeMainCamera();
    // Before the views and the manager go: starts still running are waited for and let go.
    mainStarter->abandon();
    auxStarter->abandon();
    manager->unregisterEventListener(this);
    for (KivoDocCam *camera : std::as_const(cameras))
        camera->release();
    cameras.clear();
    manager->release();
    delete auxCameraView.data();
    delete mainCameraView.data();
    settings->release();
}

void WebCamImpl::release()
{
    releaseShared();
}

// ---- Views and display ----

CameraWidget *WebCamImpl::mainView()
{
    std::lock_guard lock(componentMutex());
    return mainCameraView.data();
}

CameraWidget *WebCamImpl::auxView()
{
    std::lock_guard lock(componentMutex());
    return auxCameraView.data();
}

CameraWidget *WebCamImpl::createAuxView(QWidget *parent)
{
    std::lock_guard lock(componentMutex());
    if (!auxCameraView) {
        auxCameraView = new CameraWidget(this, parent);
        auxCameraView->setObjectName(QStringLiteral("webCamAuxView"));
        auxCameraView->setStatusText(NotConnected);
        auxCameraView->installEventFilter(this);
    }
    return auxCameraView.data();
}

void WebCamImpl::switchDisplayOn()
{
    std::lock_guard lock(componentMutex());
    if (mainCameraView)
        mainCameraView->show();
    if (displayOn)
        return;
    displayOn = true;
    const int preferred = preferredCameraIndex();
    if (preferred >= 0)
        selectMainCamera(preferred);
    else if (mainCameraView)
        mainCameraView->setStatusText(NotConnected);
}

void WebCamImpl::switchDisplayOff()
{
    std::lock_guard lock(componentMutex());
    if (mainCameraView)
        mainCameraView->hide();
    displayOn = false;
    mainRetryTimer->stop();
    mainPending = nullptr;
    closeMainCamera();
}

bool WebCamImpl::isDisplayOn()
{
    std::lock_guard lock(componentMutex());
    return displayOn;
}

bool WebCamImpl::eventFilter(QObject *watched, QEvent *event)
{
    // However a view gets its size, its camera need not decode more pixels than it shows.
    if (event->type() == QEvent::Resize
        && (watched == mainCameraView.data() || watched == auxCameraView.data())) {
        std::lock_guard lock(componentMutex());
        updateDisplaySize(static_cast<CameraWidget *>(watched));
    }
    return WebCamIntf::eventFilter(watched, event);
}

void WebCamImpl::updateDisplaySize(CameraWidget *view)
{
    auto pixels = [](CameraWidget *shown) {
        return shown ? shown->size() * shown->devicePixelRatio() : QSize();
    };
    if (view == auxCameraView && auxControl)
        auxControl->setDisplaySize(pixels(auxCameraView));
    if (mainControl && (view == mainCameraView || auxMirrorsMain())) {
        QSize size = pixels(mainCameraView);
        // One stream feeds both views: it must be sharp enough for the larger.
        if (auxMirrorsMain())
            size = size.expandedTo(pixels(auxCameraView));
        mainControl->setDisplaySize(size);
    }
}

void WebCamImpl::framePainted(CameraWidget *view)
{
    std::lock_guard lock(componentMutex());
    if (!view)
        return;
    // A mirroring view shares the main view's frames; only the main view paces the camera.
    if (mainCameraView && view != mainCameraView && view == mainCameraView->forwardTarget())
        return;
    if (view == mainCameraView && mainControl)
        mainControl->framePainted();
    else if (view == auxCameraView && auxControl)
        auxControl->framePainted();
}

// ---- The camera list ----

int WebCamImpl::cameraCount()
{
    std::lock_guard lock(componentMutex());
    return cameras.size();
}

QList<QString> WebCamImpl::displayNames(const QList<QString> &modelNames)
{
    QMap<QString, int> counts;
    for (const QString &name : modelNames)
        ++counts[name];
    QMap<QString, int> numbers;
    QList<QString> names;
    names.reserve(modelNames.size());
    for (const QString &name : modelNames) {
        if (counts.value(name) == 1)
            names.append(name);
        else
            names.append(QStringLiteral("%1 #%2").arg(name).arg(++numbers[name]));
    }
    return names;
}

QList<QString> WebCamImpl::cameraNames()
{
    std::lock_guard lock(componentMutex());
    QList<QString> models;
    models.reserve(cameras.size());
    for (KivoDocCam *camera : std::as_const(cameras))
        models.append(camera->modelName());
    return displayNames(models);
}

int WebCamImpl::mainCameraIndex()
{
    std::lock_guard lock(componentMutex());
    return mainCamera ? cameras.indexOf(mainCamera) : -1;
}

int WebCamImpl::auxCameraIndex()
{
    std::lock_guard lock(componentMutex());
    return auxCamera ? cameras.indexOf(auxCamera) : -1;
}

int WebCamImpl::preferredCameraIndex()
{
    if (cameras.isEmpty())
        return -1;
    const uint vendor = settings->value(VendorKey, 0u).toUInt() & 0xffffu;
    const uint product = settings->value(ProductKey, 0u).toUInt() & 0xffffu;
    const QString location = settings->value(LocationKey, QString()).toString();
    int sameModel = -1;
    for (int i = 0; i < cameras.size(); ++i) {
        const KivoDocCam *camera = cameras.at(i);
        if ((camera->vendorId() & 0xffffu) != vendor || (camera->productId() & 0xffffu) != product)
            continue;
        if (QString::number(camera->locationId()) == location)
            return i;
        if (sameModel < 0)
            sameModel = i;
    }
    return sameModel >= 0 ? sameModel : 0;
}

void WebCamImpl::rememberMainCamera(KivoDocCam *camera)
{
    settings->setValue(VendorKey, uint(camera->vendorId()));
    settings->setValue(ProductKey, uint(camera->productId()));
    settings->setValue(LocationKey, QString::number(camera->locationId()));
}

// ---- Opening and closing ----

void WebCamImpl::openCamera(CameraStarter *starter, KivoDocCam *camera, CameraWidget *view,
                            std::function<void(CameraStarter::Outcome &)> opened)
{
    // Prepared when the starter is free: a camera unplugged or a view closed by then is not
    // tried at all.
    starter->request([this, held = holdCamera(camera), view = QPointer<CameraWidget>(view),
                      opened = std::move(opened)]() -> CameraStarter::Attempt {
        std::lock_guard lock(componentMutex());
        if (!view || !cameras.contains(held.get()))
            return {};
        return {{held.get()}, view.data(), opened};
    });
}

bool WebCamImpl::adoptStream(CameraStarter::Outcome &outcome, CameraWidget *view,
                             KivoDocCam *&camera, DocCamControl *&control)
{
    if (!outcome.started())
        return false;
    camera = outcome.camera();
    control = outcome.takeControl();
    updateDisplaySize(view);
    view->setWaiting(true);
    return true;
}

void WebCamImpl::mainCameraOpened(CameraStarter::Outcome &outcome, bool takenFromAux)
{
    std::lock_guard lock(componentMutex());
    if (!adoptStream(outcome, mainCameraView, mainCamera, mainControl)) {
        handleOpenFailure(outcome.result(), mainCameraView, mainRetryTimer);
        return;
    }
    mainPending = nullptr;
    // The camera has one stream; the auxiliary view that had it keeps its picture by mirroring.
    if (takenFromAux && auxCameraView && !auxCamera && !auxPending) {
        auxCamera = mainCamera;
        mainCameraView->setForwardTarget(auxCameraView);
        auxCameraView->setWaiting(true);
        updateDisplaySize(mainCameraView);
    }
}

void WebCamImpl::openAuxCamera(KivoDocCam *camera)
{
    auxPending = camera;
    openCamera(auxStarter, camera, auxCameraView,
               [this](CameraStarter::Outcome &outcome) { auxCameraOpened(outcome); });
}

void WebCamImpl::auxCameraOpened(CameraStarter::Outcome &outcome)
{
    std::lock_guard lock(componentMutex());
    if (!adoptStream(outcome, auxCameraView, auxCamera, auxControl)) {
        handleOpenFailure(outcome.result(), auxCameraView, auxRetryTimer);
        return;
    }
    auxPending = nullptr;
}

void WebCamImpl::handleOpenFailure(int opened, CameraWidget *view, QTimer *retryTimer)
{
    webCamLog.log(5, QStringLiteral("WebCamImpl::handleOpenFailure - Cannot open webcam: 0x%x"),
                  uint(opened));
    if (opened == DocCam::ErrorBusy) {
        view->setStatusText(InUse);
        retryTimer->start(RetryMs);
    }
}

bool WebCamImpl::auxMirrorsMain() const
{
    return auxCamera && auxCamera == mainCamera && !auxControl;
}

void WebCamImpl::closeMainCamera()
{
    mainStarter->cancel();
    KivoDocCam *closed = mainCamera;
    const bool handOver = auxMirrorsMain();
    if (mainCameraView)
        mainCameraView->setForwardTarget(nullptr);
    // Stopping the stream first means no frame of this camera can follow the blank one below.
    DocCamControl *stopped = mainControl;
    mainControl = nullptr;
    mainCamera = nullptr;
    if (stopped)
        stopped->release();
    blank(mainCameraView);
    if (!handOver)
        return;

    // The auxiliary view showed this camera through the main view; now it opens it itself.
    auxCamera = nullptr;
    blank(auxCameraView);
    if (!cameras.contains(closed) || !auxCameraView)
        return;
    openAuxCamera(closed);
}

void WebCamImpl::closeAuxStream()
{
    auxStarter->cancel();
    auxRetryTimer->stop();
    auxPending = nullptr;
    if (auxMirrorsMain() && mainCameraView)
        mainCameraView->setForwardTarget(nullptr);
    DocCamControl *stopped = auxControl;
    auxControl = nullptr;
    auxCamera = nullptr;
    if (stopped)
        stopped->release();
    blank(auxCameraView);
}

ResultCode WebCamImpl::selectMainCamera(int index)
{
    std::lock_guard lock(componentMutex());
    mainRetryTimer->stop();
    mainPending = nullptr;
    if (cameras.isEmpty() && mainCameraView)
        mainCameraView->setStatusText(NotConnected);
    if (index < 0 || index >= cameras.size())
        return WebCamResult::OutOfRange;

    KivoDocCam *camera = cameras.at(index);
    rememberMainCamera(camera);
    if (camera == mainCamera)
        return Result::Success;

    closeMainCamera();
    const bool takenFromAux = camera == auxCamera;
    if (takenFromAux)
        closeAuxStream();
    if (!displayOn || !mainCameraView)
        return Result::Success;

    // Opened on the starter's thread; the view says how it went.
    mainPending = camera;
    openCamera(mainStarter, camera, mainCameraView,
               [this, takenFromAux](CameraStarter::Outcome &outcome) {
                   mainCameraOpened(outcome, takenFromAux);
               });
    return Result::Success;
}

ResultCode WebCamImpl::selectAuxCamera(int index)
{
    std::lock_guard lock(componentMutex());
    if (!auxCameraView)
        return Result::Failure;
    auxRetryTimer->stop();
    auxPending = nullptr;
    if (cameras.isEmpty())
        auxCameraView->setStatusText(NotConnected);
    if (index < 0 || index >= cameras.size())
        return WebCamResult::OutOfRange;

    KivoDocCam *camera = cameras.at(index);
    if (camera == auxCamera)
        return Result::Success;
    closeAuxStream();

    if (camera == mainCamera && displayOn && mainCameraView) {
        // The camera has one stream: show the main view's frames rather than open it twice.
        auxCamera = camera;
        mainCameraView->setForwardTarget(auxCameraView);
        updateDisplaySize(mainCameraView);
        const CameraImage current = mainCameraView->frame();
        if (current.isNull())
            auxCameraView->setWaiting(true);
        else
            auxCameraView->oneFrameFetched(current);
        return Result::Success;
    }

    openAuxCamera(camera);
    return Result::Success;
}

void WebCamImpl::closeAuxCamera()
{
    std::lock_guard lock(componentMutex());
    closeAuxStream();
    if (auxCameraView) {
        auxCameraView->removeEventFilter(this);
        auxCameraView->deleteLater();
        auxCameraView = nullptr;
    }
}

void WebCamImpl::retryWebCamSelection()
{
    std::lock_guard lock(componentMutex());
    const int index = cameras.indexOf(mainPending);
    if (index >= 0 && displayOn)
        selectMainCamera(index);
}

void WebCamImpl::retryAuxCamSelection()
{
    std::lock_guard lock(componentMutex());
    const int index = cameras.indexOf(auxPending);
    if (index >= 0)
        selectAuxCamera(index);
}

void WebCamImpl::docCamConnected(QString)
{
    std::lock_guard lock(componentMutex());
    if (mainRetryTimer->isActive())
        retryWebCamSelection();
    if (auxRetryTimer->isActive())
        retryAuxCamSelection();
}

void WebCamImpl::docCamDisconnected()
{
    docCamConnected(QString());
}

// ---- Cameras coming and going ----

void WebCamImpl::docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera)
{
    handOverCameraEvent(
            this, event, camera, [this](KivoDocCam *held) { cameraAdded(held); },
            [this](KivoDocCam *held) { cameraRemoved(held); });
}

void WebCamImpl::cameraAdded(KivoDocCam *camera)
{
    std::lock_guard lock(componentMutex());
    if (cameras.contains(camera))
        return;
    camera->addRef();
    cameras.append(camera);
    ++nameCounts[camera->modelName()];
    // Chosen one turn of the event loop later: cameras found together at start-up are then all
    // in the list, so the remembered one wins over whichever the system reported first.
    if (cameras.size() == 1)
        QMetaObject::invokeMethod(this, &WebCamImpl::selectInitialCameras, Qt::QueuedConnection);
    Q_EMIT webCamListChanged(cameraNames());
}

void WebCamImpl::selectInitialCameras()
{
    std::lock_guard lock(componentMutex());
    if (displayOn && !mainCamera && !mainPending)
        selectMainCamera(preferredCameraIndex());
    if (auxCameraView && !auxCamera && !auxPending)
        selectAuxCamera(preferredCameraIndex());
}

void WebCamImpl::cameraRemoved(KivoDocCam *camera)
{
    std::lock_guard lock(componentMutex());
    if (!cameras.removeOne(camera))
        return;
    const QString model = camera->modelName();
    if (--nameCounts[model] <= 0)
        nameCounts.remove(model);

    const bool wasMain = camera == mainCamera;
    const bool wasAux = camera == auxCamera;
    bool wasPendingMain = false;
    if (camera == mainPending) {
        mainRetryTimer->stop();
        mainStarter->cancel();
        mainPending = nullptr;
        wasPendingMain = true;
    }
    if (camera == auxPending) {
        auxRetryTimer->stop();
        auxStarter->cancel();
        auxPending = nullptr;
    }
    if (cameras.isEmpty()) {
        if (mainCameraView)
            mainCameraView->setStatusText(NotConnected);
        if (auxCameraView)
            auxCameraView->setStatusText(NotConnected);
    }

    // The auxiliary stream first: if it mirrored the main view there is nothing to hand over.
    if (wasAux)
        closeAuxStream();
    if (wasMain) {
        closeMainCamera();
        Q_EMIT currentWebCamDisconnected();
    }
    if ((wasMain || wasPendingMain) && !cameras.isEmpty() && displayOn)
        selectMainCamera(preferredCameraIndex());
    if (wasAux) {
        Q_EMIT currentAuxWebCamDisconnected();
        if (!cameras.isEmpty() && auxCameraView)
            selectAuxCamera(preferredCameraIndex());
    }
    Q_EMIT webCamListChanged(cameraNames());
    camera->release();
}
