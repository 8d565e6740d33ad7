#pragma once

#include "CameraDevice.h"
#include "V4l2DeviceDescription.h"

#include <QList>
#include <QMap>

#include <optional>

/// How the library's controls land on one device's V4L2 controls: which exist, the capability
/// bits they give, the writes that carry out a control and the library's levels read back from
/// the device's values. Built from the queried controls alone, so it needs no device.
class V4l2ControlMap
{
public:
    struct Write
    {
        std::uint32_t id = 0;
        int value = 0;
    };

    /// What applying a control takes. When `inHardware` is false the library must do the
    /// control in software, after the `writes` that undo an earlier hardware state.
    struct Plan
    {
        bool inHardware = false;
        QList<Write> writes;
    };

    /// The library's view of the device's current values; a field is empty when the device
    /// has no such control.
    struct Levels
    {
        std::optional<int> brightness;
        std::optional<int> contrast;
        std::optional<int> exposure;
        std::optional<int> focus;
        std::optional<int> redGain;
        std::optional<int> blueGain;
        std::optional<double> zoomRatio;
        std::optional<bool> mirror;
        std::optional<bool> autoWhiteBalance;
        std::optional<bool> autoExposure;
        std::optional<int> colorEffect;
    };

    V4l2ControlMap() = default;
    explicit V4l2ControlMap(const QList<V4l2ControlInfo> &controls);

    /// The DocCam::Capability bits the device's controls give (never CapHQStill).
    std::uint32_t capabilities() const;

    Plan plan(CameraDevice::Control control, int value) const;

    /// The controls whose values levels() reads.
    QList<std::uint32_t> mappedIds() const;
    Levels levels(const QMap<std::uint32_t, int> &values) const;

    /// A level (0 to 100) as a value of `info`'s range, on its step grid.
    static int toDevice(int level, const V4l2ControlInfo &info);
    /// A value of `info`'s range as a level from 0 to 100.
    static int toLevel(int value, const V4l2ControlInfo &info);
    /// A zoom ratio × 100 (100 to 800) as a value of `info`'s range, and back.
    static int zoomToDevice(int ratio100, const V4l2ControlInfo &info);
    static double zoomFromDevice(int value, const V4l2ControlInfo &info);

private:
    const V4l2ControlInfo *find(std::uint32_t id) const;
    bool hasMenuItem(std::uint32_t id, int item) const;

    QList<V4l2ControlInfo> controls;
};
