// The controller's picture commands, the parameter cache and the action status.

#include "KivoscopeImpl.h"

#include "CameraWidget.h"

#include <DocCamControl.h>
#include <KivoDocCam.h>
#include <LogModule.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const LogModule kivoscopeLog("velora/kivoscope");

// The action-status bits.
constexpr uint BasicControls = 0x600037E;
constexpr uint FocusControls = 0x400;
constexpr uint ManualExposure = 0x800;
constexpr uint WhiteBalanceControls = 0x1000;
constexpr uint ManualWhiteBalance = 0x2000;
constexpr uint CameraModes = 0x4000;
constexpr uint FrozenStatus = 0x10;
constexpr uint InputBitsMask = 0xFE0FFFFF;

// Colour effects as the panels number them (0 colour, 1 black and white, 2 negative) and as
// the camera does.
constexpr int BlackAndWhite = 1;

int effectFromCamera(int cameraValue, int fallback)
{
    switch (cameraValue) {
    case DocCam::ColorEffectNegative:
        return 2;
    case DocCam::ColorEffectBlackWhite:
        return 1;
    case DocCam::ColorEffectColor:
        return 0;
    default:
        return fallback;
    }
}

int modeFromCamera(int modeNumber, bool modeFlagOn)
{
    if (modeFlagOn)
        return 2;
    switch (modeNumber) {
    case DocCam::ModeMicroscope:
        return 3;
    case DocCam::ModeEnhance:
        return 1;
    case DocCam::ModeMacro:
        return 5;
    case DocCam::ModeInfinity:
        return 4;
    default:
        return 0;
    }
}
} // namespace

uint KivoscopeImpl::computeActionStatus(const StatusInputs &in)
{
    using namespace DocCam;
    const auto has = [&in](std::uint32_t capabilities) {
        return (in.capabilities & capabilities) == capabilities;
    };
    uint status = BasicControls | in.capabilityByte;
    if (has(CapAutoFocus | CapManualFocus))
        status |= FocusControls;
    if (!in.autoExposure)
        status |= ManualExposure;
    if (has(CapAutoWhiteBalance | CapWhiteBalanceGain) && in.colorEffect != BlackAndWhite)
        status |= WhiteBalanceControls;
    if (!in.autoWhiteBalance && in.colorEffect != BlackAndWhite)
        status |= ManualWhiteBalance;
    if (has(CapCameraMode) && in.modelName != QLatin1String("Kivoscope K20")
        && in.modelName != QLatin1String("Kivoscope K30"))
        status |= CameraModes;
    if (in.featureBits & 4)
        status |= 0x10000;
    if (in.featureBits & 2)
        status |= 0x20000;
    if (has(CapAutoImage))
        status |= 0x40000;
    if (in.inputBits & 1)
        status |= 0x100000;
    if (in.inputBits & 8)
        status |= 0x400000;
    if (in.inputBits & 16)
        status |= 0x1000000;
    if (in.inputBits & 32)
        status |= 0x800000;
    if (has(CapExposure))
        status |= 0x200000;
    return status;
}

KivoscopeImpl::StatusInputs KivoscopeImpl::statusInputs() const
{
    StatusInputs inputs;
    inputs.capabilities = currentCamera->capabilities();
    inputs.capabilityByte = currentCamera->capabilityByte();
    inputs.featureBits = currentCamera->featureBits();
    inputs.inputBits = currentCamera->inputBits();
    inputs.modelName = currentCamera->modelName();
    inputs.autoExposure = autoExposureState;
    inputs.autoWhiteBalance = autoWhiteBalanceState;
    inputs.colorEffect = cachedColorEffect;
    return inputs;
}

void KivoscopeImpl::publishActionStatus()
{
    currentActionStatus = currentCamera ? computeActionStatus(statusInputs()) : 0;
    Q_EMIT actionStatusChanged(freeze && currentCamera ? FrozenStatus : currentActionStatus);
}

void KivoscopeImpl::readParameters()
{
    KivoDocCam *camera = currentCamera;
    cachedBrightness = camera->brightness();
    cachedContrast = camera->contrast();
    zoomRatio = camera->zoomRatio();
    rotation = camera->rotation();
    mirror = camera->mirror();
    freeze = camera->freeze();
    autoWhiteBalanceState = camera->autoWhiteBalance();
    autoExposureState = camera->autoExposure();
    cachedExposure = camera->exposure();
    autoImageState = camera->autoImage();
    cachedColorEffect = effectFromCamera(camera->colorEffect(), cachedColorEffect);
    rawCameraMode = camera->cameraMode();
    modeFlag = camera->modeFlag();
    cachedCameraMode = modeFromCamera(rawCameraMode, modeFlag);

    Q_EMIT brightnessChanged(cachedBrightness);
    Q_EMIT contrastChanged(cachedContrast);
    Q_EMIT zoomRatioChanged(zoomRatio);
    Q_EMIT rotationChanged(rotation);
    Q_EMIT mirrorChanged(mirror);
    Q_EMIT autoWhiteBalanceChanged(autoWhiteBalanceState);
    Q_EMIT autoExposureChanged(autoExposureState);
    Q_EMIT exposureChanged(cachedExposure);
    Q_EMIT autoImageChanged(autoImageState);
    Q_EMIT colorEffectChanged(cachedColorEffect);
    Q_EMIT docCamModeChanged(cachedCameraMode);
    Q_EMIT freezeStatusChanged(freeze);
}

template<typename Command> ResultCode KivoscopeImpl::withControl(Command command)
{
    std::lock_guard lock(componentMutex());
    if (!control)
        return Result::NoDevice;
    return command(control);
}

// ---- Commands ----

ResultCode KivoscopeImpl::setBrightness(int value)
{
    if (value < 0 || value > 100)
        return KivoscopeResult::OutOfRange;
    return withControl([value](DocCamControl *c) { return c->setBrightness(value); });
}

ResultCode KivoscopeImpl::setContrast(int value)
{
    std::lock_guard lock(componentMutex());
    if (value < 0 || value > 100)
        return KivoscopeResult::OutOfRange;
    if (!control)
        return Result::NoDevice;
    const int result = control->setContrast(value);
    kivoscopeLog.log(7, QStringLiteral("KivoscopeImpl::setContrast : %d, return : %d"), value,
                     result);
    if (result == DocCam::Tuning)
        return runTuningDialog(result);
    return result;
}

ResultCode KivoscopeImpl::runTuningDialog(ResultCode result)
{
    QWidget *parent = nullptr;
    if (cameraView && cameraView->isVisible() && cameraView->mapToGlobal(QPoint(0, 0)).x() >= 0
        && cameraView->mapToGlobal(QPoint(0, 0)).y() >= 0)
        parent = cameraView;
    else
        parent = QApplication::activeWindow();

    auto *dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("tuningDialog"));
    dialog->setModal(true);
    auto *layout = new QVBoxLayout(dialog);
    auto *bar = new QProgressBar(dialog);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    auto *label = new QLabel(QStringLiteral("Parameter tuning..."), dialog);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(bar);
    layout->addWidget(label);
    dialog->setFixedSize(dialog->sizeHint().expandedTo(QSize(260, 80)));
    const QRect area = parent ? QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size())
                              : QApplication::primaryScreen()->availableGeometry();
    dialog->move(area.center() - dialog->rect().center());

    tuningDialog = dialog;
    // The component mutex stays held, as for every operation; the end-of-tuning report
    // arrives through this dialog's event loop on the same thread.
    dialog->exec();
    delete dialog;
    tuningDialog = nullptr;
    Q_EMIT contrastChanged(cachedContrast);
    // A camera unplugged while tuning never reports the end; its disconnection closed the box.
    return control ? result : Result::NoDevice;
}

// The toggles start from the camera's own state, not from the copy kept here: that copy follows
// the camera's change report, which a second click right after the first can overtake.
ResultCode KivoscopeImpl::toggleFreeze()
{
    return withControl([this](DocCamControl *c) { return c->setFreeze(!currentCamera->freeze()); });
}

ResultCode KivoscopeImpl::rotate()
{
    return withControl([this](DocCamControl *c) {
        return c->setRotation((currentCamera->rotation() + 90) % 360);
    });
}

ResultCode KivoscopeImpl::toggleMirror()
{
    return withControl([this](DocCamControl *c) { return c->setMirror(!currentCamera->mirror()); });
}

ResultCode KivoscopeImpl::setColorEffect(int effect)
{
    static constexpr int cameraValues[] = {DocCam::ColorEffectColor, DocCam::ColorEffectBlackWhite,
                                           DocCam::ColorEffectNegative};
    if (effect < 0 || effect > 2)
        return KivoscopeResult::OutOfRange;
    return withControl(
            [effect](DocCamControl *c) { return c->setColorEffect(cameraValues[effect]); });
}

ResultCode KivoscopeImpl::setCameraMode(int mode)
{
    static constexpr int modeNumbers[]
            = {DocCam::ModeNormal,     DocCam::ModeEnhance,  0,
               DocCam::ModeMicroscope, DocCam::ModeInfinity, DocCam::ModeMacro};
    if (mode < 0 || mode > 5)
        return Result::NoDevice;
    return withControl([this, mode](DocCamControl *c) {
        if (mode == 2)
            return c->setModeFlag(true);
        // Another mode ends wide angle: the switch would otherwise keep overriding it.
        if (modeFlag) {
            const int off = c->setModeFlag(false);
            if (off < 0)
                return off;
        }
        return c->setCameraMode(modeNumbers[mode]);
    });
}

ResultCode KivoscopeImpl::autoFocus()
{
    return withControl([](DocCamControl *c) { return c->autoFocus(); });
}

ResultCode KivoscopeImpl::zoomIn()
{
    return withControl([](DocCamControl *c) { return c->zoomIn(); });
}

ResultCode KivoscopeImpl::zoomOut()
{
    return withControl([](DocCamControl *c) { return c->zoomOut(); });
}

ResultCode KivoscopeImpl::zoomReset()
{
    return withControl([](DocCamControl *c) { return c->zoomReset(); });
}

ResultCode KivoscopeImpl::brightnessUp()
{
    return withControl([](DocCamControl *c) { return c->brightnessUp(); });
}

ResultCode KivoscopeImpl::brightnessDown()
{
    return withControl([](DocCamControl *c) { return c->brightnessDown(); });
}

ResultCode KivoscopeImpl::contrastUp()
{
    return withControl([](DocCamControl *c) { return c->contrastUp(); });
}

ResultCode KivoscopeImpl::contrastDown()
{
    return withControl([](DocCamControl *c) { return c->contrastDown(); });
}

ResultCode KivoscopeImpl::exposureUp()
{
    return withControl([](DocCamControl *c) { return c->exposureUp(); });
}

ResultCode KivoscopeImpl::exposureDown()
{
    return withControl([](DocCamControl *c) { return c->exposureDown(); });
}

ResultCode KivoscopeImpl::focusFar()
{
    return withControl([](DocCamControl *c) { return c->focusFar(); });
}

ResultCode KivoscopeImpl::focusNear()
{
    return withControl([](DocCamControl *c) { return c->focusNear(); });
}

ResultCode KivoscopeImpl::redGainUp()
{
    return withControl([](DocCamControl *c) { return c->redGainUp(); });
}

ResultCode KivoscopeImpl::redGainDown()
{
    return withControl([](DocCamControl *c) { return c->redGainDown(); });
}

ResultCode KivoscopeImpl::blueGainUp()
{
    return withControl([](DocCamControl *c) { return c->blueGainUp(); });
}

ResultCode KivoscopeImpl::blueGainDown()
{
    return withControl([](DocCamControl *c) { return c->blueGainDown(); });
}

ResultCode KivoscopeImpl::setAutoImage(bool on)
{
    return withControl([on](DocCamControl *c) { return c->setAutoImage(on); });
}

ResultCode KivoscopeImpl::setAutoWhiteBalance(bool on)
{
    return withControl([on](DocCamControl *c) { return c->setAutoWhiteBalance(on); });
}

ResultCode KivoscopeImpl::setAutoExposure(bool on)
{
    return withControl([on](DocCamControl *c) { return c->setAutoExposure(on); });
}

ResultCode KivoscopeImpl::resetToDefaults()
{
    return withControl([](DocCamControl *c) { return c->resetToDefaults(); });
}

// ---- Getters ----

int KivoscopeImpl::brightness()
{
    std::lock_guard lock(componentMutex());
    return cachedBrightness;
}

int KivoscopeImpl::contrast()
{
    std::lock_guard lock(componentMutex());
    return cachedContrast;
}

int KivoscopeImpl::exposure()
{
    std::lock_guard lock(componentMutex());
    return cachedExposure;
}

int KivoscopeImpl::colorEffect()
{
    std::lock_guard lock(componentMutex());
    return cachedColorEffect;
}

int KivoscopeImpl::cameraMode()
{
    std::lock_guard lock(componentMutex());
    return cachedCameraMode;
}

uint KivoscopeImpl::actionStatus()
{
    std::lock_guard lock(componentMutex());
    return currentActionStatus;
}

bool KivoscopeImpl::autoWhiteBalance()
{
    std::lock_guard lock(componentMutex());
    return !autoWhiteBalanceState;
}

bool KivoscopeImpl::autoExposure()
{
    std::lock_guard lock(componentMutex());
    return !autoExposureState;
}

bool KivoscopeImpl::autoImage()
{
    std::lock_guard lock(componentMutex());
    return !autoImageState;
}

// ---- Changes the camera reports (on the GUI thread) ----

void KivoscopeImpl::brightnessValueChanged(KivoDocCam *camera, int value)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || value == cachedBrightness)
        return;
    cachedBrightness = value;
    Q_EMIT brightnessChanged(value);
}

void KivoscopeImpl::contrastValueChanged(KivoDocCam *camera, int value)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || value == cachedContrast)
        return;
    cachedContrast = value;
    // While the camera tunes itself the panels keep the old value; the new one follows the end.
    if (!tuningDialog)
        Q_EMIT contrastChanged(value);
}

void KivoscopeImpl::zoomRatioValueChanged(KivoDocCam *camera, double ratio)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || ratio == zoomRatio)
        return;
    zoomRatio = ratio;
    kivoscopeLog.log(7, QStringLiteral("KivoscopeImpl::zoomRatioValueChanged - DocCam zoom to %f"),
                     ratio);
    Q_EMIT zoomRatioChanged(ratio);
}

void KivoscopeImpl::rotationValueChanged(KivoDocCam *camera, unsigned degrees)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || degrees == rotation)
        return;
    rotation = degrees;
    kivoscopeLog.log(7,
                     QStringLiteral("KivoscopeImpl::rotationChanged - DocCam rotate to %u degree"),
                     degrees);
    Q_EMIT rotationChanged(degrees);
}

void KivoscopeImpl::mirrorValueChanged(KivoDocCam *camera, bool on)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || on == mirror)
        return;
    mirror = on;
    Q_EMIT mirrorChanged(on);
}

void KivoscopeImpl::freezeValueChanged(KivoDocCam *camera, bool on)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || on == freeze)
        return;
    freeze = on;
    Q_EMIT freezeStatusChanged(on);
    // Frozen, only Pause is usable; thawed, everything comes back as it stands now.
    if (on)
        Q_EMIT actionStatusChanged(FrozenStatus);
    else
        publishActionStatus();
}

void KivoscopeImpl::autoWhiteBalanceValueChanged(KivoDocCam *camera, bool on)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || on == autoWhiteBalanceState)
        return;
    autoWhiteBalanceState = on;
    Q_EMIT autoWhiteBalanceChanged(on);
    const uint manual = computeActionStatus(statusInputs()) & ManualWhiteBalance;
    currentActionStatus = (currentActionStatus & ~ManualWhiteBalance) | manual;
    if (!freeze)
        Q_EMIT actionStatusChanged(currentActionStatus);
}

void KivoscopeImpl::autoExposureValueChanged(KivoDocCam *camera, bool on)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || on == autoExposureState)
        return;
    autoExposureState = on;
    Q_EMIT autoExposureChanged(on);
    currentActionStatus ^= ManualExposure;
    if (!freeze)
        Q_EMIT actionStatusChanged(currentActionStatus);
}

void KivoscopeImpl::exposureValueChanged(KivoDocCam *camera, int value)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || value == cachedExposure)
        return;
    cachedExposure = value;
    Q_EMIT exposureChanged(value);
}

void KivoscopeImpl::autoImageValueChanged(KivoDocCam *camera, bool on)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || on == autoImageState)
        return;
    autoImageState = on;
    Q_EMIT autoImageChanged(on);
}

void KivoscopeImpl::colorEffectValueChanged(KivoDocCam *camera, int cameraValue)
{
    std::lock_guard lock(componentMutex());
    const int effect = effectFromCamera(cameraValue, 0);
    if (camera != currentCamera || effect == cachedColorEffect)
        return;
    cachedColorEffect = effect;
    Q_EMIT colorEffectChanged(effect);
    const uint recomputed = computeActionStatus(statusInputs());
    const uint bits = WhiteBalanceControls | ManualWhiteBalance;
    currentActionStatus = (currentActionStatus & ~bits) | (recomputed & bits);
    if (!freeze)
        Q_EMIT actionStatusChanged(currentActionStatus);
}

void KivoscopeImpl::cameraModeValueChanged(KivoDocCam *camera, int modeNumber, bool modeFlagOn)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera)
        return;
    rawCameraMode = modeNumber;
    modeFlag = modeFlagOn;
    const int mode = modeFromCamera(modeNumber, modeFlagOn);
    if (mode == cachedCameraMode)
        return;
    cachedCameraMode = mode;
    Q_EMIT docCamModeChanged(mode);
}

void KivoscopeImpl::inputStatusValueChanged(KivoDocCam *camera)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera || inputsClearedOnce)
        return;
    inputsClearedOnce = true;
    currentActionStatus &= InputBitsMask;
    if (!freeze)
        Q_EMIT actionStatusChanged(currentActionStatus);
}

void KivoscopeImpl::parameterTuningProcessEnded(KivoDocCam *camera)
{
    std::lock_guard lock(componentMutex());
    if (camera != currentCamera)
        return;
    kivoscopeLog.log(4, QStringLiteral("KivoscopeImpl::parameterTuningProcessEnded"));
    if (tuningDialog)
        tuningDialog->accept();
}
