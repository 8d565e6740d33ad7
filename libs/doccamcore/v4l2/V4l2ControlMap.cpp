#include "V4l2ControlMap.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cmath>

namespace {

using Control = CameraDevice::Control;

/// A value `fraction` (0 to 1) of the way through `info`'s range, on its step grid.
int scaleToRange(double fraction, const V4l2ControlInfo &info)
{
    if (info.maximum <= info.minimum)
        return info.minimum;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const double span = double(info.maximum) - info.minimum;
    const double step = std::max(info.step, 1);
    double steps = std::round(fraction * span / step);
    // The top of the grid can lie below the maximum when the span is not a multiple of step.
    steps = std::min(steps, std::floor(span / step));
    return int(info.minimum + steps * step);
}

double fractionOfRange(int value, const V4l2ControlInfo &info)
{
    if (info.maximum <= info.minimum)
        return 0.0;
    const double span = double(info.maximum) - info.minimum;
    return std::clamp((double(value) - info.minimum) / span, 0.0, 1.0);
}

} // namespace

V4l2ControlMap::V4l2ControlMap(const QList<V4l2ControlInfo> &controls)
{
    for (const V4l2ControlInfo &info : controls) {
        if (info.writable)
            this->controls.append(info);
    }
}

const V4l2ControlInfo *V4l2ControlMap::find(std::uint32_t id) const
{
    for (const V4l2ControlInfo &info : controls) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

bool V4l2ControlMap::hasMenuItem(std::uint32_t id, int item) const
{
    const V4l2ControlInfo *info = find(id);
    if (!info || item < info->minimum || item > info->maximum)
        return false;
    // Without the menu's items the range is all there is to go by.
    return info->menuItems.isEmpty() || info->menuItems.contains(item);
}

int V4l2ControlMap::toDevice(int level, const V4l2ControlInfo &info)
{
    return scaleToRange(level / 100.0, info);
}

int V4l2ControlMap::toLevel(int value, const V4l2ControlInfo &info)
{
    return int(std::lround(fractionOfRange(value, info) * 100.0));
}

int V4l2ControlMap::zoomToDevice(int ratio100, const V4l2ControlInfo &info)
{
    return scaleToRange((ratio100 - 100) / 700.0, info);
}

double V4l2ControlMap::zoomFromDevice(int value, const V4l2ControlInfo &info)
{
    return 1.0 + 7.0 * fractionOfRange(value, info);
}

std::uint32_t V4l2ControlMap::capabilities() const
{
    std::uint32_t bits = 0;
    if (find(V4L2_CID_AUTO_FOCUS_START) || find(V4L2_CID_FOCUS_AUTO))
        bits |= DocCam::CapAutoFocus;
    if (find(V4L2_CID_FOCUS_ABSOLUTE))
        bits |= DocCam::CapManualFocus;
    if (find(V4L2_CID_ZOOM_ABSOLUTE))
        bits |= DocCam::CapZoom;
    if (find(V4L2_CID_BRIGHTNESS))
        bits |= DocCam::CapBrightness;
    if (find(V4L2_CID_CONTRAST))
        bits |= DocCam::CapContrast;
    if (find(V4L2_CID_EXPOSURE_ABSOLUTE))
        bits |= DocCam::CapExposure;
    // Switching automatic exposure needs both a manual and an automatic mode.
    if (hasMenuItem(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL)
        && (hasMenuItem(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO)
            || hasMenuItem(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY)
            || hasMenuItem(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY)))
        bits |= DocCam::CapAutoExposure;
    if (find(V4L2_CID_AUTO_WHITE_BALANCE))
        bits |= DocCam::CapAutoWhiteBalance;
    if (find(V4L2_CID_RED_BALANCE) && find(V4L2_CID_BLUE_BALANCE))
        bits |= DocCam::CapWhiteBalanceGain;
    if (hasMenuItem(V4L2_CID_COLORFX, V4L2_COLORFX_NONE)
        && (hasMenuItem(V4L2_CID_COLORFX, V4L2_COLORFX_BW)
            || hasMenuItem(V4L2_CID_COLORFX, V4L2_COLORFX_NEGATIVE)))
        bits |= DocCam::CapColorEffect;
    if (find(V4L2_CID_HFLIP))
        bits |= DocCam::CapMirror;
    return bits;
}

V4l2ControlMap::Plan V4l2ControlMap::plan(Control control, int value) const
{
    const auto scaled = [&](std::uint32_t id) -> Plan {
        const V4l2ControlInfo *info = find(id);
        if (!info)
            return {};
        return {true, {{id, toDevice(value, *info)}}};
    };
    const auto boolean = [&](std::uint32_t id) -> Plan {
        if (!find(id))
            return {};
        return {true, {{id, value ? 1 : 0}}};
    };

    switch (control) {
    case Control::Brightness:
        return scaled(V4L2_CID_BRIGHTNESS);
    case Control::Contrast:
        return scaled(V4L2_CID_CONTRAST);
    case Control::Exposure:
        return scaled(V4L2_CID_EXPOSURE_ABSOLUTE);
    case Control::RedGain:
        return scaled(V4L2_CID_RED_BALANCE);
    case Control::BlueGain:
        return scaled(V4L2_CID_BLUE_BALANCE);
    case Control::AutoWhiteBalance:
        return boolean(V4L2_CID_AUTO_WHITE_BALANCE);
    case Control::Mirror:
        return boolean(V4L2_CID_HFLIP);
    case Control::AutoExposure: {
        if (!(capabilities() & DocCam::CapAutoExposure))
            return {};
        if (!value)
            return {true, {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}}};
        // UVC cameras mostly offer only aperture priority as their automatic mode.
        for (int mode : {V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY,
                         V4L2_EXPOSURE_SHUTTER_PRIORITY}) {
            if (hasMenuItem(V4L2_CID_EXPOSURE_AUTO, mode))
                return {true, {{V4L2_CID_EXPOSURE_AUTO, mode}}};
        }
        return {};
    }
    case Control::Focus: {
        const V4l2ControlInfo *info = find(V4L2_CID_FOCUS_ABSOLUTE);
        if (!info)
            return {};
        Plan result{true, {}};
        // The device ignores a focus position while it focuses itself.
        if (find(V4L2_CID_FOCUS_AUTO))
            result.writes.append({V4L2_CID_FOCUS_AUTO, 0});
        // V4L2 puts larger positions nearer the camera; the library's 0 is nearest.
        result.writes.append({V4L2_CID_FOCUS_ABSOLUTE, toDevice(100 - value, *info)});
        return result;
    }
    case Control::AutoFocus:
        if (value && find(V4L2_CID_AUTO_FOCUS_START))
            return {true, {{V4L2_CID_AUTO_FOCUS_START, 1}}};
        return boolean(V4L2_CID_FOCUS_AUTO);
    case Control::Zoom: {
        const V4l2ControlInfo *info = find(V4L2_CID_ZOOM_ABSOLUTE);
        if (!info)
            return {};
        return {true, {{V4L2_CID_ZOOM_ABSOLUTE, zoomToDevice(value, *info)}}};
    }
    case Control::ColorEffect: {
        if (!find(V4L2_CID_COLORFX))
            return {};
        int effect = V4L2_COLORFX_NONE;
        if (value == DocCam::ColorEffectBlackWhite)
            effect = V4L2_COLORFX_BW;
        else if (value == DocCam::ColorEffectNegative)
            effect = V4L2_COLORFX_NEGATIVE;
        if (hasMenuItem(V4L2_CID_COLORFX, effect))
            return {true, {{V4L2_CID_COLORFX, effect}}};
        // The software effect must not land on top of one the device still applies.
        if (hasMenuItem(V4L2_CID_COLORFX, V4L2_COLORFX_NONE))
            return {false, {{V4L2_CID_COLORFX, V4L2_COLORFX_NONE}}};
        return {};
    }
    case Control::Rotation:
    case Control::CameraMode:
    case Control::ModeFlag:
    case Control::AutoImage:
        break;
    }
    return {};
}

QList<std::uint32_t> V4l2ControlMap::mappedIds() const
{
    QList<std::uint32_t> ids;
    for (std::uint32_t id : {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_EXPOSURE_ABSOLUTE,
                             V4L2_CID_EXPOSURE_AUTO, V4L2_CID_AUTO_WHITE_BALANCE,
                             V4L2_CID_RED_BALANCE, V4L2_CID_BLUE_BALANCE, V4L2_CID_FOCUS_ABSOLUTE,
                             V4L2_CID_ZOOM_ABSOLUTE, V4L2_CID_HFLIP, V4L2_CID_COLORFX}) {
        if (find(id))
            ids.append(id);
    }
    return ids;
}

V4l2ControlMap::Levels V4l2ControlMap::levels(const QMap<std::uint32_t, int> &values) const
{
    Levels result;
    const auto level = [&](std::uint32_t id) -> std::optional<int> {
        const V4l2ControlInfo *info = find(id);
        if (!info || !values.contains(id))
            return std::nullopt;
        return toLevel(values.value(id), *info);
    };
    const auto flag = [&](std::uint32_t id) -> std::optional<bool> {
        if (!find(id) || !values.contains(id))
            return std::nullopt;
        return values.value(id) != 0;
    };

    result.brightness = level(V4L2_CID_BRIGHTNESS);
    result.contrast = level(V4L2_CID_CONTRAST);
    result.exposure = level(V4L2_CID_EXPOSURE_ABSOLUTE);
    result.redGain = level(V4L2_CID_RED_BALANCE);
    result.blueGain = level(V4L2_CID_BLUE_BALANCE);
    if (const std::optional<int> focus = level(V4L2_CID_FOCUS_ABSOLUTE))
        result.focus = 100 - *focus;
    result.autoWhiteBalance = flag(V4L2_CID_AUTO_WHITE_BALANCE);
    result.mirror = flag(V4L2_CID_HFLIP);
    if (find(V4L2_CID_EXPOSURE_AUTO) && values.contains(V4L2_CID_EXPOSURE_AUTO))
        result.autoExposure = values.value(V4L2_CID_EXPOSURE_AUTO) != V4L2_EXPOSURE_MANUAL;
    if (const V4l2ControlInfo *zoom = find(V4L2_CID_ZOOM_ABSOLUTE);
        zoom && values.contains(V4L2_CID_ZOOM_ABSOLUTE))
        result.zoomRatio = zoomFromDevice(values.value(V4L2_CID_ZOOM_ABSOLUTE), *zoom);
    if (find(V4L2_CID_COLORFX) && values.contains(V4L2_CID_COLORFX)) {
        switch (values.value(V4L2_CID_COLORFX)) {
        case V4L2_COLORFX_BW:
            result.colorEffect = DocCam::ColorEffectBlackWhite;
            break;
        case V4L2_COLORFX_NEGATIVE:
            result.colorEffect = DocCam::ColorEffectNegative;
            break;
        default:
            // Sepia and the other tints have no place in the library's effects.
            result.colorEffect = DocCam::ColorEffectColor;
            break;
        }
    }
    return result;
}
