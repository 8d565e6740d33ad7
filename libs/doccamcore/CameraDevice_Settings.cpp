// The presenter's settings of each camera: remembered as they change, set again when the camera
// opens, and given up for the camera's defaults on request.

#include "CameraDevice.h"

#include "CameraDevicePrivate.h"
#include "CameraSettingsStore.h"

#include <linux/videodev2.h>

#include <array>
#include <optional>

namespace {

using Control = CameraDevice::Control;

struct Remembered
{
    Control control;
    std::uint32_t id;
};

// Keyed by the V4L2 control whatever carries it out, so that a camera keeps its settings if a
// later version does in hardware what it does in software now. In the order they are set
// again: an automatic mode before the value it would otherwise overrule.
constexpr std::array<Remembered, 10> RememberedControls{{
        {Control::AutoExposure, V4L2_CID_EXPOSURE_AUTO},
        {Control::Exposure, V4L2_CID_EXPOSURE_ABSOLUTE},
        {Control::AutoWhiteBalance, V4L2_CID_AUTO_WHITE_BALANCE},
        {Control::RedGain, V4L2_CID_RED_BALANCE},
        {Control::BlueGain, V4L2_CID_BLUE_BALANCE},
        {Control::Focus, V4L2_CID_FOCUS_ABSOLUTE},
        {Control::Brightness, V4L2_CID_BRIGHTNESS},
        {Control::Contrast, V4L2_CID_CONTRAST},
        {Control::Rotation, V4L2_CID_ROTATE},
        {Control::Mirror, V4L2_CID_HFLIP},
}};

std::optional<std::uint32_t> rememberedId(Control control)
{
    for (const Remembered &remembered : RememberedControls) {
        if (remembered.control == control)
            return remembered.id;
    }
    return std::nullopt;
}

} // namespace

CameraSettingsStore *CameraDevice::settingsStore() const
{
    return d->settings.get();
}

QString CameraDevice::settingsKey() const
{
    return CameraSettingsStore::cameraKey(identity.vendorId, identity.productId,
                                          identity.serialNumber, identity.locationId);
}

void CameraDevice::remember(Control control, int level)
{
    const std::optional<std::uint32_t> id = rememberedId(control);
    if (CameraSettingsStore *store = settingsStore(); store && id)
        store->record(settingsKey(), *id, level);
}

int CameraDevice::setLevel(Control control, int level)
{
    switch (control) {
    case Control::Brightness:
        return setBrightness(level);
    case Control::Contrast:
        return setContrast(level);
    case Control::Exposure:
        return setExposure(level);
    case Control::AutoExposure:
        return setAutoExposure(level != 0);
    case Control::AutoWhiteBalance:
        return setAutoWhiteBalance(level != 0);
    case Control::RedGain:
        return setRedGain(level);
    case Control::BlueGain:
        return setBlueGain(level);
    case Control::Focus:
        return moveFocus(level);
    case Control::Rotation:
        return level < 0 ? DocCam::ErrorInvalid : setRotation(unsigned(level));
    case Control::Mirror:
        return setMirror(level != 0);
    default:
        return DocCam::ErrorUnsupported;
    }
}

void CameraDevice::applyRememberedSettings()
{
    CameraSettingsStore *store = settingsStore();
    if (!store)
        return;
    const CameraSettingsStore::Values stored = store->values(settingsKey());
    // A control this camera lacks, or a value it refuses, leaves its own value in place.
    for (const Remembered &remembered : RememberedControls) {
        if (stored.contains(remembered.id))
            setLevel(remembered.control, stored.value(remembered.id));
    }
}

int CameraDevice::autoFocus()
{
    if (gone)
        return DocCam::ErrorDevice;
    const int result = applyControl(Control::AutoFocus, 1);
    // The lens decides from now on; a position set by hand must not overrule it next time.
    if (CameraSettingsStore *store = settingsStore(); store && result == DocCam::Ok)
        store->forget(settingsKey(), V4L2_CID_FOCUS_ABSOLUTE);
    return result;
}

int CameraDevice::setFocus(int position)
{
    const int result = moveFocus(position);
    // Where the lens settles by itself is not the presenter's choice: it focuses again next time.
    if (CameraSettingsStore *store = settingsStore())
        store->forget(settingsKey(), V4L2_CID_FOCUS_ABSOLUTE);
    return result;
}

int CameraDevice::resetToDefaults()
{
    if (gone)
        return DocCam::ErrorDevice;
    const Parameters defaults = defaultParameters();
    const auto levelOf = [&defaults](Control control) {
        switch (control) {
        case Control::Brightness:
            return defaults.brightness;
        case Control::Contrast:
            return defaults.contrast;
        case Control::Exposure:
            return defaults.exposure;
        case Control::AutoExposure:
            return int(defaults.autoExposure);
        case Control::AutoWhiteBalance:
            return int(defaults.autoWhiteBalance);
        case Control::RedGain:
            return int(defaults.redGain);
        case Control::BlueGain:
            return int(defaults.blueGain);
        case Control::Focus:
            return defaults.focus;
        case Control::Rotation:
            return int(defaults.rotation);
        case Control::Mirror:
            return int(defaults.mirror);
        default:
            return 0;
        }
    };
    int result = DocCam::Ok;
    // Values before modes: a device takes a manual value while its automatic mode is still off,
    // and the automatic modes coming back last are what the camera then shows.
    for (auto remembered = RememberedControls.rbegin(); remembered != RememberedControls.rend();
         ++remembered) {
        int answer = DocCam::Ok;
        // A lens that focuses itself is at its default when it does so again.
        if (remembered->control == Control::Focus
            && (hardwareCapabilities() & DocCam::CapAutoFocus))
            answer = autoFocus();
        else
            answer = setLevel(remembered->control, levelOf(remembered->control));
        if (answer < 0 && answer != DocCam::ErrorUnsupported && result == DocCam::Ok)
            result = answer;
    }
    if (CameraSettingsStore *store = settingsStore())
        store->forget(settingsKey());
    return result;
}
