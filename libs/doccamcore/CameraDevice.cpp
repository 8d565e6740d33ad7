#include "CameraDevice.h"

#include "CameraDevicePrivate.h"

#include "CameraImage.h"
#include "CameraSettingsStore.h"
#include "DocCamControl.h"
#include "DocCamManager.h"
#include "DocCamParametersListener.h"
#include "FrameProcessor.h"
#include "QImageFrameGrabber.h"
#include "QImageHQImageGrabber.h"

#include <pthread.h>

#include <chrono>
#include <cmath>

namespace {
constexpr std::uint32_t SoftwareCapable = DocCam::CapZoom | DocCam::CapRotation | DocCam::CapMirror
        | DocCam::CapFreeze | DocCam::CapColorEffect;
// Long enough that an idle camera costs nothing, short enough that stop() is prompt.
constexpr int GrabTimeoutMs = 200;
// A few frame periods of a slow camera.
constexpr int WholeFrameWaitMs = 500;

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
}
} // namespace

/// The control object handed out by openStream(); it forwards to its camera.
class StreamControl : public DocCamControl
{
public:
    explicit StreamControl(CameraDevice *camera)
        : camera(camera)
    { }

    int start() override { return camera->start(); }
    int stop() override { return camera->stop(); }
    void release() override
    {
        camera->closeStream();
        delete this;
    }
    void framePainted() override { camera->framePainted(); }
    void setDisplaySize(QSize size) override { camera->setDisplaySize(size); }
    int setBrightness(int value) override { return camera->setBrightness(value); }
    int setContrast(int value) override { return camera->setContrast(value); }
    int setRotation(unsigned degrees) override { return camera->setRotation(degrees); }
    int setMirror(bool on) override { return camera->setMirror(on); }
    int setFreeze(bool on) override { return camera->setFreeze(on); }
    int setColorEffect(int value) override { return camera->setColorEffect(value); }
    int setCameraMode(int mode) override { return camera->setCameraMode(mode); }
    int setModeFlag(bool on) override { return camera->setModeFlag(on); }
    int setAutoWhiteBalance(bool on) override { return camera->setAutoWhiteBalance(on); }
    int setAutoExposure(bool on) override { return camera->setAutoExposure(on); }
    int setAutoImage(bool on) override { return camera->setAutoImage(on); }
    int autoFocus() override { return camera->autoFocus(); }
    int focusFar() override { return camera->focusFar(); }
    int focusNear() override { return camera->focusNear(); }
    int zoomIn() override { return camera->zoomIn(); }
    int zoomOut() override { return camera->zoomOut(); }
    int zoomReset() override { return camera->zoomReset(); }
    int brightnessUp() override { return camera->brightnessUp(); }
    int brightnessDown() override { return camera->brightnessDown(); }
    int contrastUp() override { return camera->contrastUp(); }
    int contrastDown() override { return camera->contrastDown(); }
    int exposureUp() override { return camera->exposureUp(); }
    int exposureDown() override { return camera->exposureDown(); }
    int redGainUp() override { return camera->redGainUp(); }
    int redGainDown() override { return camera->redGainDown(); }
    int blueGainUp() override { return camera->blueGainUp(); }
    int blueGainDown() override { return camera->blueGainDown(); }
    int resetToDefaults() override { return camera->resetToDefaults(); }

private:
    CameraDevice *camera;
};

CameraDevice::CameraDevice(DocCamManager *manager, Identity identity)
    : identity(std::move(identity))
    , d(std::make_unique<Private>())
{
    d->manager = manager;
    if (manager)
        d->settings = manager->settingsStore();
}

CameraDevice::~CameraDevice() = default;

void CameraDevice::addRef()
{
    ++d->references;
}

void CameraDevice::release()
{
    if (--d->references == 0) {
        // Stopped here, while the backend part still exists: its hooks close the device.
        closeStream();
        delete this;
    }
}

void CameraDevice::markGone()
{
    gone = true;
}

int CameraDevice::getCurrentVideoFormat(DocCam::VideoFormat &format) const
{
    if (gone)
        return DocCam::ErrorDevice;
    format = liveFormat();
    return format.isValid() ? DocCam::Ok : DocCam::ErrorDevice;
}

int CameraDevice::openStream(const DocCam::VideoFormat &format, QImageFrameGrabber *grabber,
                             DocCamControl **control)
{
    if (!control || !format.isValid())
        return DocCam::ErrorInvalid;
    if (gone)
        return DocCam::ErrorDevice;
    {
        std::lock_guard lock(d->mutex);
        if (d->control)
            return DocCam::ErrorBusy; // one stream per camera
        d->streamFormat = format;
        d->control = new StreamControl(this);
        *control = d->control;
    }
    std::lock_guard callbacks(d->callbackMutex);
    d->grabber = grabber;
    return DocCam::Ok;
}

void CameraDevice::closeStream()
{
    stop();
    // The last change of a slider may still wait for the coalescing delay.
    if (CameraSettingsStore *store = settingsStore())
        store->flushSoon();
    {
        std::lock_guard lock(d->mutex);
        d->control = nullptr;
    }
    std::lock_guard callbacks(d->callbackMutex);
    d->grabber = nullptr;
}

int CameraDevice::start()
{
    if (gone)
        return DocCam::ErrorDevice;
    DocCam::VideoFormat format;
    {
        std::lock_guard lock(d->mutex);
        if (!d->control)
            return DocCam::ErrorInvalid;
        if (d->capturing)
            return DocCam::Ok;
        format = d->streamFormat;
    }
    const int opened = openCapture(format);
    if (opened != DocCam::Ok)
        return opened;
    // Before the first frame and before whoever started the stream reads the values.
    applyRememberedSettings();

    std::lock_guard lock(d->mutex);
    d->capturing = true;
    d->awaitingPaint = false;
    d->stopRequested = false;
    d->captureThread = std::thread([this] {
        pthread_setname_np(pthread_self(), "velora-capture");
        captureLoop();
    });
    return DocCam::Ok;
}

int CameraDevice::stop()
{
    std::thread thread;
    {
        std::lock_guard lock(d->mutex);
        if (!d->capturing)
            return DocCam::Ok;
        d->capturing = false;
        d->stopRequested = true;
        thread = std::move(d->captureThread);
        // A capture waiting for a whole frame takes what there is: none is coming.
        d->wholeArrived.notify_all();
    }
    wakeCapture();
    if (thread.joinable())
        thread.join();
    closeCapture();
    return DocCam::Ok;
}

void CameraDevice::framePainted()
{
    std::lock_guard lock(d->mutex);
    d->awaitingPaint = false;
}

void CameraDevice::setDisplaySize(QSize size)
{
    std::lock_guard lock(d->mutex);
    d->displaySize = size;
}

QSize CameraDevice::displaySize() const
{
    std::lock_guard lock(d->mutex);
    const bool whole = (d->parameters.freeze && !d->shownWhole) || d->wholeWanted;
    QSize size = whole ? QSize() : d->displaySize;
    d->decodingWhole = size.isEmpty();
    if (size.isEmpty())
        return size;
    const std::uint32_t software = softwareCapabilities();
    // A picture turned on its side in software fills the view with its other dimension.
    if ((software & DocCam::CapRotation) && d->parameters.rotation % 180 == 90)
        size.transpose();
    // Software zoom crops the picture before it is shown: the crop must still fill the view.
    if (software & DocCam::CapZoom)
        size = (QSizeF(size) * d->parameters.zoomRatio).toSize();
    return size;
}

bool CameraDevice::frameWanted() const
{
    std::lock_guard lock(d->mutex);
    return !d->awaitingPaint && !d->parameters.freeze;
}

void CameraDevice::captureLoop()
{
    while (!d->stopRequested) {
        if (d->hqRequested.exchange(false))
            deliverStill();

        QImage raw;
        const GrabResult result = grabFrame(raw, GrabTimeoutMs);
        if (result == GrabResult::Timeout)
            continue;
        if (result == GrabResult::Gone || gone) {
            gone = true;
            {
                std::lock_guard lock(d->mutex);
                d->wholeArrived.notify_all();
            }
            std::lock_guard callbacks(d->callbackMutex);
            if (d->grabber)
                d->grabber->frameError(DocCam::ErrorFrame);
            return;
        }

        FrameProcessor::Settings settings;
        std::uint32_t software = 0;
        {
            std::lock_guard lock(d->mutex);
            d->latestRaw = raw;
            const bool whole = d->decodingWhole;
            d->latestWhole = whole;
            if (whole && d->wholeWanted) {
                d->wholeWanted = false;
                d->wholeArrived.notify_all();
            }
            // The consumer is still painting the last frame, or the picture is frozen: keep
            // capturing (the device must not stall) but deliver nothing. Only a picture frozen
            // while shrunk gives way to the next whole frame.
            if (d->awaitingPaint || (d->parameters.freeze && (d->shownWhole || !whole)))
                continue;
            d->awaitingPaint = true;
            d->shownWhole = whole;
            settings = processingSettings();
            software = softwareCapabilities();
        }
        const QImage shown = FrameProcessor::process(raw, settings, software);
        CameraImage frame;
        {
            std::lock_guard lock(d->mutex);
            frame = CameraImage(shown, ++d->sequence, steadyNowNs());
            d->frozenFrame = shown;
        }
        // Never call out with the mutex held: a grabber may call straight back (framePainted).
        std::lock_guard callbacks(d->callbackMutex);
        if (d->grabber)
            d->grabber->oneFrameFetched(frame);
    }
}

void CameraDevice::deliverStill()
{
    if (!stillWillArrive())
        return;
    QImage still = grabStill();
    FrameProcessor::Settings settings;
    std::uint32_t software = 0;
    {
        std::lock_guard lock(d->mutex);
        settings = processingSettings();
        software = softwareCapabilities();
    }
    still = FrameProcessor::process(still, settings, software);
    std::lock_guard callbacks(d->callbackMutex);
    if (d->hqGrabber)
        d->hqGrabber->hqImageGrabbed(still);
}

FrameProcessor::Settings CameraDevice::processingSettings() const
{
    FrameProcessor::Settings settings;
    settings.zoomRatio = d->parameters.zoomRatio;
    settings.mirror = d->parameters.mirror;
    settings.rotation = d->parameters.rotation;
    settings.colorEffect = d->parameters.colorEffect;
    return settings;
}

int CameraDevice::grabCurrentFrame(QImage &image)
{
    if (gone)
        return DocCam::ErrorDevice;
    QImage raw;
    FrameProcessor::Settings settings;
    std::uint32_t software = 0;
    {
        std::unique_lock lock(d->mutex);
        if (d->parameters.freeze && !d->frozenFrame.isNull()) {
            image = d->frozenFrame;
            return DocCam::Ok;
        }
        // A capture keeps the camera's whole picture, not the one shrunk to the view: the next
        // frame is decoded whole. A camera that sends none in time gives the shrunk one.
        if (d->capturing && !d->latestWhole) {
            d->wholeWanted = true;
            d->wholeArrived.wait_for(lock, std::chrono::milliseconds(WholeFrameWaitMs),
                                     [this] { return d->latestWhole || !d->capturing || gone; });
        }
        raw = d->latestRaw;
        settings = processingSettings();
        software = softwareCapabilities();
    }
    if (raw.isNull())
        return DocCam::ErrorInvalid;
    image = FrameProcessor::process(raw, settings, software);
    return DocCam::Ok;
}

bool CameraDevice::isHQImageSupported() const
{
    return !gone && (capabilities() & DocCam::CapHQStill) && !stillSize().isEmpty();
}

int CameraDevice::requestHQImage()
{
    if (!isHQImageSupported())
        return DocCam::ErrorUnsupported;
    {
        std::lock_guard lock(d->mutex);
        if (!d->capturing)
            return DocCam::ErrorInvalid;
        d->hqRequested = true;
    }
    // The capture thread is most likely waiting for the next frame; the presenter should not
    // wait for it too.
    wakeCapture();
    return DocCam::Ok;
}

void CameraDevice::installHQImageGrabber(QImageHQImageGrabber *grabber)
{
    std::lock_guard callbacks(d->callbackMutex);
    d->hqGrabber = grabber;
}

void CameraDevice::removeHQImageGrabber(QImageHQImageGrabber *grabber)
{
    std::lock_guard callbacks(d->callbackMutex);
    if (d->hqGrabber == grabber)
        d->hqGrabber = nullptr;
}

void CameraDevice::installParametersListener(DocCamParametersListener *listener)
{
    std::lock_guard callbacks(d->callbackMutex);
    d->listener = listener;
}

void CameraDevice::removeParametersListener(DocCamParametersListener *listener)
{
    std::lock_guard callbacks(d->callbackMutex);
    if (d->listener == listener)
        d->listener = nullptr;
}

void CameraDevice::notify(std::function<void(DocCamParametersListener *)> call)
{
    // Listeners hear about changes on the manager's event thread, never inside the setter
    // that caused them, so a listener may call back into the camera freely.
    addRef();
    d->manager->post([this, call = std::move(call)] {
        {
            std::lock_guard callbacks(d->callbackMutex);
            if (d->listener)
                call(d->listener);
        }
        release();
    });
}

void CameraDevice::reportTuningEnded()
{
    notify([this](DocCamParametersListener *l) { l->parameterTuningProcessEnded(this); });
}

void CameraDevice::reportInputBits(unsigned bits)
{
    notify([this, bits](DocCamParametersListener *l) { l->inputStatusChanged(this, bits); });
}

void CameraDevice::setInitialParameters(const Parameters &parameters)
{
    std::lock_guard lock(d->mutex);
    d->parameters = parameters;
}

DocCamManager *CameraDevice::manager() const
{
    return d->manager;
}

CameraDevice::Parameters CameraDevice::parametersSnapshot() const
{
    std::lock_guard lock(d->mutex);
    return d->parameters;
}

std::uint32_t CameraDevice::capabilities() const
{
    return hardwareCapabilities() | SoftwareCapable;
}

std::uint8_t CameraDevice::capabilityByte() const
{
    // Focusing can only be done by the optics, never in software.
    return (hardwareCapabilities() & DocCam::CapAutoFocus) ? 0x01 : 0x00;
}

std::uint32_t CameraDevice::softwareCapabilities() const
{
    // Freezing is always the library's: it only stops delivering.
    return (SoftwareCapable & ~hardwareCapabilities()) | DocCam::CapFreeze;
}
