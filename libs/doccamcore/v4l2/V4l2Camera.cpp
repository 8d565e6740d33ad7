#include "V4l2Camera.h"

#include "DocCamLog.h"
#include "V4l2Device.h"
#include "V4l2RecoveryTiming.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcV4l2Camera, "velora.doccam.v4l2.camera", QtWarningMsg)

namespace {

// A still waits for the camera to renegotiate and expose at the new size.
constexpr int StillTimeoutMs = 5000;

} // namespace

V4l2Camera::V4l2Camera(DocCamManager *manager, Identity identity, V4l2DeviceDescription description,
                       std::function<void(V4l2Camera *)> lost)
    : CameraDevice(manager, std::move(identity))
    , description(std::move(description))
    , controls(this->description.controls)
    , live(V4l2FormatChoice::liveFormat(this->description))
    , still(V4l2FormatChoice::stillFormat(this->description, live))
    , lost(std::move(lost))
{
    QMap<std::uint32_t, int> values;
    for (const V4l2ControlInfo &info : this->description.controls)
        values.insert(info.id, info.value);
    setInitialParameters(parametersFrom(controls.levels(values)));
}

V4l2Camera::~V4l2Camera()
{
    // Writes still queued reach the camera (a gone one refuses them at once) before it closes.
    controlWrites.finish();
    std::lock_guard lock(deviceMutex);
    device.reset();
}

CameraDevice::Parameters V4l2Camera::parametersFrom(const V4l2ControlMap::Levels &levels) const
{
    Parameters parameters;
    parameters.brightness = levels.brightness.value_or(brightness());
    parameters.contrast = levels.contrast.value_or(contrast());
    parameters.exposure = levels.exposure.value_or(exposure());
    parameters.focus = levels.focus.value_or(focus());
    parameters.redGain = unsigned(levels.redGain.value_or(int(redGain())));
    parameters.blueGain = unsigned(levels.blueGain.value_or(int(blueGain())));
    parameters.zoomRatio = levels.zoomRatio.value_or(zoomRatio());
    parameters.mirror = levels.mirror.value_or(mirror());
    parameters.autoWhiteBalance = levels.autoWhiteBalance.value_or(autoWhiteBalance());
    parameters.autoExposure = levels.autoExposure.value_or(autoExposure());
    // An effect done in software leaves the device's own effect off; reading that back must
    // not undo the software effect.
    parameters.colorEffect = colorEffect();
    if (levels.colorEffect && controls.plan(Control::ColorEffect, colorEffect()).inHardware)
        parameters.colorEffect = *levels.colorEffect;
    parameters.rotation = rotation();
    parameters.freeze = freeze();
    parameters.autoImage = autoImage();
    parameters.cameraMode = cameraMode();
    parameters.modeFlag = modeFlag();
    return parameters;
}

int V4l2Camera::openCapture(const DocCam::VideoFormat &format)
{
    QMap<std::uint32_t, int> values;
    {
        std::lock_guard lock(deviceMutex);
        device.reset();
        streamFormat = V4l2FormatChoice::streamFormat(description, format);
        if (!streamFormat.isValid())
            return DocCam::ErrorInvalid;

        int result = DocCam::Ok;
        int error = 0;
        std::unique_ptr<V4l2Device> opened = openStreaming(result, error);
        if (!opened) {
            qCInfo(lcV4l2Camera) << "V4l2Camera::openCapture -" << key() << "refused to stream"
                                 << streamFormat.size << qt_error_string(error);
            return result;
        }
        // Another application may have changed the controls since the camera was found.
        for (std::uint32_t id : controls.mappedIds()) {
            if (const std::optional<int> value = opened->control(id))
                values.insert(id, *value);
        }
        device = std::move(opened);
        sinceLastFrame.start();
        recoveryAttempt = -1;
        reopenedWithoutFrame = 0;
        // A wake meant for the last stream has nothing left to cut short.
        wake.clear();
    }
    setInitialParameters(parametersFrom(controls.levels(values)));
    return DocCam::Ok;
}

void V4l2Camera::closeCapture()
{
    std::lock_guard lock(deviceMutex);
    device.reset();
}

std::unique_ptr<V4l2Device> V4l2Camera::openStreaming(int &result, int &error) const
{
    auto opened = std::make_unique<V4l2Device>();
    result = opened->open(key());
    if (result == DocCam::Ok)
        result = opened->startStreaming(streamFormat);
    if (result == DocCam::Ok)
        return opened;
    error = opened->lastError();
    return nullptr;
}

CameraDevice::GrabResult V4l2Camera::grabFrame(QImage &frame, int timeoutMs)
{
    if (recovering())
        return recover(timeoutMs);
    if (!device)
        return GrabResult::Gone;
    switch (device->nextFrame(frame, timeoutMs, displaySize(), wake.descriptor())) {
    case V4l2Device::Wait::Frame:
        sinceLastFrame.restart();
        reopenedWithoutFrame = 0;
        return GrabResult::Frame;
    case V4l2Device::Wait::Gone:
        return GrabResult::Gone;
    case V4l2Device::Wait::Woken:
        // Cleared before the capture loop looks at the requests, so a wake raised after this
        // point is not lost but cuts the next wait short.
        wake.clear();
        return GrabResult::Timeout;
    case V4l2Device::Wait::Timeout:
        break;
    }
    if (sinceLastFrame.elapsed() < V4l2RecoveryTiming::current().stallMs)
        return GrabResult::Timeout;
    beginRecovery(QStringLiteral("sent no frame for %1 ms").arg(sinceLastFrame.elapsed()));
    return recover(timeoutMs);
}

void V4l2Camera::wakeCapture()
{
    wake.raise();
}

void V4l2Camera::beginRecovery(const QString &why)
{
    docCamLog(LogSystem::LogInfo,
              QStringLiteral("V4l2Camera::beginRecovery - %1 %2, reopening it").arg(key(), why));
    // Reopens that brought no frame count on, so that a camera that takes the stream-on but
    // sends nothing is given up like one that refuses it.
    recoveryAttempt = reopenedWithoutFrame;
    nextAttempt = QDeadlineTimer(0);
}

CameraDevice::GrabResult V4l2Camera::recover(int timeoutMs)
{
    // Only the wake event is watched, so that a stop or a still request is served at once.
    const QDeadlineTimer until = std::min(nextAttempt, QDeadlineTimer(timeoutMs));
    if (V4l2Device::waitReadable(-1, wake.descriptor(), until) == V4l2Device::Ready::Woken) {
        wake.clear();
        return GrabResult::Timeout;
    }
    if (!nextAttempt.hasExpired())
        return GrabResult::Timeout;

    const auto &retries = V4l2RecoveryTiming::current().retryMs;
    if (recoveryAttempt > int(retries.size()))
        return giveUp(recoveryAttempt, QStringLiteral("no frame after reopening"));
    const int attempt = ++recoveryAttempt;
    int result = DocCam::Ok;
    int error = 0;
    {
        std::lock_guard lock(deviceMutex);
        // Closed first, so that the new handle does not find the old one still owning the
        // stream and its buffers.
        device.reset();
        device = openStreaming(result, error);
    }
    if (device) {
        docCamLog(LogSystem::LogInfo,
                  QStringLiteral("V4l2Camera::recover - %1 streams again after %2 attempt(s)")
                          .arg(key())
                          .arg(attempt));
        recoveryAttempt = -1;
        reopenedWithoutFrame = attempt;
        sinceLastFrame.restart();
        return GrabResult::Timeout;
    }
    if (attempt > int(retries.size()))
        return giveUp(attempt, qt_error_string(error));
    const int waitMs = retries[std::size_t(attempt - 1)];
    docCamLog(
            LogSystem::LogInfo,
            QStringLiteral("V4l2Camera::recover - reopening %1 failed (%2), next attempt in %3 ms")
                    .arg(key(), qt_error_string(error))
                    .arg(waitMs));
    nextAttempt = QDeadlineTimer(waitMs);
    return GrabResult::Timeout;
}

CameraDevice::GrabResult V4l2Camera::giveUp(int attempts, const QString &why)
{
    docCamLog(
            LogSystem::LogWarning,
            QStringLiteral("V4l2Camera::recover - %1 could not be reopened after %2 attempts (%3): "
                           "reported as removed")
                    .arg(key())
                    .arg(attempts)
                    .arg(why));
    recoveryAttempt = -1;
    reopenedWithoutFrame = 0;
    if (lost)
        lost(this);
    return GrabResult::Gone;
}

QImage V4l2Camera::waitForFrame(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    QImage frame;
    while (waited.elapsed() < timeoutMs) {
        switch (device->nextFrame(frame, int(timeoutMs - waited.elapsed()))) {
        case V4l2Device::Wait::Frame:
            return frame;
        case V4l2Device::Wait::Gone:
            return {};
        case V4l2Device::Wait::Timeout:
        case V4l2Device::Wait::Woken:
            break;
        }
    }
    return {};
}

QImage V4l2Camera::grabStill()
{
    if (!device || recovering() || !still.isValid())
        return {};
    QImage image;
    if (const int result = device->startStreaming(still); result == DocCam::Ok)
        image = waitForFrame(StillTimeoutMs);
    else
        qCInfo(lcV4l2Camera) << "V4l2Camera::grabStill -" << key() << "refused" << still.size
                             << Qt::hex << result;
    // Back to live whatever happened; a node that will not go back is reopened like a
    // stalled one.
    if (device->startStreaming(streamFormat) != DocCam::Ok)
        beginRecovery(QStringLiteral("did not return to live size after a still (%1)")
                              .arg(qt_error_string(device->lastError())));
    sinceLastFrame.restart();
    return image;
}

int V4l2Camera::applyControl(Control control, int value)
{
    const V4l2ControlMap::Plan plan = controls.plan(control, value);
    // The answer comes from the plan alone: the caller is often the GUI thread, and a UVC
    // control can take seconds to answer. A write the camera refuses is logged; the picture
    // then simply keeps its old setting.
    if (!plan.writes.isEmpty())
        controlWrites.post([this, writes = plan.writes] { writeControls(writes); });
    return plan.inHardware ? DocCam::Ok : DocCam::ErrorUnsupported;
}

void V4l2Camera::writeControls(const QList<V4l2ControlMap::Write> &writes)
{
    std::lock_guard lock(deviceMutex);
    // Controls live in the camera, not in the stream, so a closed camera is opened just for
    // the change; it keeps the value for the next stream.
    std::unique_ptr<V4l2Device> temporary;
    V4l2Device *target = device.get();
    if (!target) {
        temporary = std::make_unique<V4l2Device>();
        if (const int result = temporary->open(key()); result != DocCam::Ok) {
            qCInfo(lcV4l2Camera) << "V4l2Camera::writeControls -" << key()
                                 << "could not be opened for a control:" << Qt::hex << result;
            return;
        }
        target = temporary.get();
    }
    for (const V4l2ControlMap::Write &write : writes) {
        if (target->setControl(write.id, write.value) != DocCam::Ok) {
            qCInfo(lcV4l2Camera) << "V4l2Camera::writeControls -" << key() << "control" << Qt::hex
                                 << write.id << "refused" << Qt::dec << write.value;
            return;
        }
    }
}

std::uint32_t V4l2Camera::hardwareCapabilities() const
{
    return controls.capabilities() | (still.isValid() ? DocCam::CapHQStill : 0u);
}

DocCam::VideoFormat V4l2Camera::liveFormat() const
{
    return live.videoFormat();
}

QSize V4l2Camera::stillSize() const
{
    return still.isValid() ? still.size : QSize();
}

CameraDevice::Parameters V4l2Camera::defaultParameters() const
{
    QMap<std::uint32_t, int> values;
    for (const V4l2ControlInfo &info : description.controls)
        values.insert(info.id, info.defaultValue);
    const V4l2ControlMap::Levels levels = controls.levels(values);
    Parameters defaults = parametersFrom(levels);
    // What is done in software starts from nothing, not from where it stands now.
    defaults.rotation = 0;
    defaults.mirror = levels.mirror.value_or(false);
    return defaults;
}
