// The camera's parameters: the cache, and changes carried out in hardware or in software.

#include "CameraDevice.h"

#include "CameraDevicePrivate.h"
#include "DocCamManager.h"
#include "DocCamParametersListener.h"

#include <cmath>

// ---- Parameter reads ----

int CameraDevice::brightness() const
{
    return parametersSnapshot().brightness;
}
int CameraDevice::contrast() const
{
    return parametersSnapshot().contrast;
}
double CameraDevice::zoomRatio() const
{
    return parametersSnapshot().zoomRatio;
}
unsigned CameraDevice::rotation() const
{
    return parametersSnapshot().rotation;
}
bool CameraDevice::mirror() const
{
    return parametersSnapshot().mirror;
}
bool CameraDevice::freeze() const
{
    return parametersSnapshot().freeze;
}
bool CameraDevice::autoWhiteBalance() const
{
    return parametersSnapshot().autoWhiteBalance;
}
bool CameraDevice::autoExposure() const
{
    return parametersSnapshot().autoExposure;
}
int CameraDevice::exposure() const
{
    return parametersSnapshot().exposure;
}
bool CameraDevice::autoImage() const
{
    return parametersSnapshot().autoImage;
}
int CameraDevice::colorEffect() const
{
    return parametersSnapshot().colorEffect;
}
int CameraDevice::cameraMode() const
{
    return parametersSnapshot().cameraMode;
}
bool CameraDevice::modeFlag() const
{
    return parametersSnapshot().modeFlag;
}
int CameraDevice::focus() const
{
    return parametersSnapshot().focus;
}
unsigned CameraDevice::redGain() const
{
    return parametersSnapshot().redGain;
}
unsigned CameraDevice::blueGain() const
{
    return parametersSnapshot().blueGain;
}

// ---- Parameter changes ----

template<typename T, typename Notify>
int CameraDevice::change(Control control, int deviceValue, T Parameters::*field, T value,
                         Notify notifyListener)
{
    if (gone)
        return DocCam::ErrorDevice;
    int result = applyControl(control, deviceValue);
    if (result == DocCam::ErrorUnsupported) {
        const auto software = softwareCapabilities();
        const bool doneInSoftware = (control == Control::Zoom && (software & DocCam::CapZoom))
                || (control == Control::Rotation && (software & DocCam::CapRotation))
                || (control == Control::Mirror && (software & DocCam::CapMirror))
                || (control == Control::ColorEffect && (software & DocCam::CapColorEffect));
        if (!doneInSoftware)
            return result;
        result = DocCam::Ok;
    }
    if (result != DocCam::Ok && result != DocCam::Tuning)
        return result;
    remember(control, deviceValue);

    bool changed = false;
    {
        std::lock_guard lock(d->mutex);
        changed = !(d->parameters.*field == value);
        d->parameters.*field = value;
    }
    if (changed)
        notify([this, value, notifyListener](DocCamParametersListener *l) {
            notifyListener(l, this, value);
        });
    return result;
}

namespace {
int clampLevel(int value)
{
    return qBound(0, value, 100);
}
} // namespace

int CameraDevice::setBrightness(int value)
{
    if (value < 0 || value > 100)
        return DocCam::ErrorInvalid;
    return change(Control::Brightness, value, &Parameters::brightness, value,
                  [](auto *l, auto *c, int v) { l->brightnessChanged(c, v); });
}

int CameraDevice::setContrast(int value)
{
    if (value < 0 || value > 100)
        return DocCam::ErrorInvalid;
    return change(Control::Contrast, value, &Parameters::contrast, value,
                  [](auto *l, auto *c, int v) { l->contrastChanged(c, v); });
}

int CameraDevice::setRotation(unsigned degrees)
{
    if (degrees % 90 != 0)
        return DocCam::ErrorInvalid;
    degrees %= 360;
    return change(Control::Rotation, int(degrees), &Parameters::rotation, degrees,
                  [](auto *l, auto *c, unsigned v) { l->rotationChanged(c, v); });
}

int CameraDevice::setMirror(bool on)
{
    return change(Control::Mirror, on, &Parameters::mirror, on,
                  [](auto *l, auto *c, bool v) { l->mirrorChanged(c, v); });
}

int CameraDevice::setFreeze(bool on)
{
    if (gone)
        return DocCam::ErrorDevice;
    bool changed = false;
    {
        std::lock_guard lock(d->mutex);
        changed = d->parameters.freeze != on;
        d->parameters.freeze = on;
    }
    if (changed)
        notify([this, on](DocCamParametersListener *l) { l->freezeChanged(this, on); });
    return DocCam::Ok;
}

int CameraDevice::setColorEffect(int value)
{
    if (value != DocCam::ColorEffectColor && value != DocCam::ColorEffectNegative
        && value != DocCam::ColorEffectBlackWhite)
        return DocCam::ErrorInvalid;
    return change(Control::ColorEffect, value, &Parameters::colorEffect, value,
                  [](auto *l, auto *c, int v) { l->colorEffectChanged(c, v); });
}

int CameraDevice::setCameraMode(int mode)
{
    switch (mode) {
    case DocCam::ModeEnhance:
    case DocCam::ModeNormal:
    case DocCam::ModeMicroscope:
    case DocCam::ModeMacro:
    case DocCam::ModeInfinity:
        break;
    default:
        return DocCam::ErrorInvalid;
    }
    return change(Control::CameraMode, mode, &Parameters::cameraMode, mode,
                  [](auto *l, auto *c, int v) { l->cameraModeChanged(c, v); });
}

int CameraDevice::setModeFlag(bool on)
{
    return change(Control::ModeFlag, on, &Parameters::modeFlag, on,
                  [](auto *l, auto *c, bool v) { l->modeFlagChanged(c, v); });
}

int CameraDevice::setAutoWhiteBalance(bool on)
{
    return change(Control::AutoWhiteBalance, on, &Parameters::autoWhiteBalance, on,
                  [](auto *l, auto *c, bool v) { l->autoWhiteBalanceChanged(c, v); });
}

int CameraDevice::setAutoExposure(bool on)
{
    return change(Control::AutoExposure, on, &Parameters::autoExposure, on,
                  [](auto *l, auto *c, bool v) { l->autoExposureChanged(c, v); });
}

int CameraDevice::setAutoImage(bool on)
{
    return change(Control::AutoImage, on, &Parameters::autoImage, on,
                  [](auto *l, auto *c, bool v) { l->autoImageChanged(c, v); });
}

int CameraDevice::moveFocus(int position)
{
    position = clampLevel(position);
    return change(Control::Focus, position, &Parameters::focus, position,
                  [](auto *l, auto *c, int v) { l->focusChanged(c, v); });
}

int CameraDevice::focusFar()
{
    return moveFocus(focus() + LevelStep);
}

int CameraDevice::focusNear()
{
    return moveFocus(focus() - LevelStep);
}

int CameraDevice::setZoom(double ratio)
{
    ratio = qBound(1.0, ratio, MaxZoom);
    return change(Control::Zoom, int(std::lround(ratio * 100)), &Parameters::zoomRatio, ratio,
                  [](auto *l, auto *c, double v) { l->zoomRatioChanged(c, v); });
}

int CameraDevice::zoomIn()
{
    return setZoom(zoomRatio() * ZoomStep);
}

int CameraDevice::zoomOut()
{
    const double ratio = zoomRatio() / ZoomStep;
    // Snap to 1 so that in-then-out returns exactly to the whole picture.
    return setZoom(ratio < 1.01 ? 1.0 : ratio);
}

int CameraDevice::zoomReset()
{
    return setZoom(1.0);
}

int CameraDevice::brightnessUp()
{
    return setBrightness(clampLevel(brightness() + LevelStep));
}

int CameraDevice::brightnessDown()
{
    return setBrightness(clampLevel(brightness() - LevelStep));
}

int CameraDevice::contrastUp()
{
    return setContrast(clampLevel(contrast() + LevelStep));
}

int CameraDevice::contrastDown()
{
    return setContrast(clampLevel(contrast() - LevelStep));
}

int CameraDevice::setExposure(int value)
{
    value = clampLevel(value);
    return change(Control::Exposure, value, &Parameters::exposure, value,
                  [](auto *l, auto *c, int v) { l->exposureChanged(c, v); });
}

int CameraDevice::exposureUp()
{
    return setExposure(exposure() + LevelStep);
}

int CameraDevice::exposureDown()
{
    return setExposure(exposure() - LevelStep);
}

int CameraDevice::setRedGain(int value)
{
    const unsigned gain = unsigned(clampLevel(value));
    return change(Control::RedGain, int(gain), &Parameters::redGain, gain,
                  [](auto *l, auto *c, unsigned v) { l->whiteBalanceRedChanged(c, v); });
}

int CameraDevice::setBlueGain(int value)
{
    const unsigned gain = unsigned(clampLevel(value));
    return change(Control::BlueGain, int(gain), &Parameters::blueGain, gain,
                  [](auto *l, auto *c, unsigned v) { l->whiteBalanceBlueChanged(c, v); });
}

int CameraDevice::redGainUp()
{
    return setRedGain(int(redGain()) + LevelStep);
}

int CameraDevice::redGainDown()
{
    return setRedGain(int(redGain()) - LevelStep);
}

int CameraDevice::blueGainUp()
{
    return setBlueGain(int(blueGain()) + LevelStep);
}

int CameraDevice::blueGainDown()
{
    return setBlueGain(int(blueGain()) - LevelStep);
}
