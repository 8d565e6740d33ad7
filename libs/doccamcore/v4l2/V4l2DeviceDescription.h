#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <cstdint>

/// A capture device as the backend sees it: what VIDIOC_QUERYCAP, the format, size and interval
/// enumerations and the control queries answered, kept as plain data so that every decision
/// made from it (format choice, control mapping, hot-plug) can be checked without the device.

namespace V4l2 {

constexpr std::uint32_t fourcc(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8
            | std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

/// The pixel formats the backend decodes. The values are the kernel's; the .cpp files that
/// include linux/videodev2.h check that they agree.
constexpr std::uint32_t PixelFormatMjpeg = fourcc('M', 'J', 'P', 'G');
constexpr std::uint32_t PixelFormatYuyv = fourcc('Y', 'U', 'Y', 'V');

/// Device capability bits used by the backend (V4L2_CAP_*).
constexpr std::uint32_t CapVideoCapture = 0x00000001;
constexpr std::uint32_t CapMetaCapture = 0x00800000;
constexpr std::uint32_t CapStreaming = 0x04000000;

} // namespace V4l2

struct V4l2FrameInterval
{
    std::uint32_t numerator = 1;
    std::uint32_t denominator = 30;

    double rate() const { return numerator ? double(denominator) / numerator : 0.0; }
};

struct V4l2FrameSize
{
    QSize size;
    /// Offered frame intervals; a stepwise range is kept as its two ends.
    QList<V4l2FrameInterval> intervals;
};

struct V4l2PixelFormat
{
    std::uint32_t fourcc = 0;
    QString description;
    /// Offered sizes; a stepwise range is kept as its two ends.
    QList<V4l2FrameSize> sizes;
};

struct V4l2ControlInfo
{
    enum class Kind { Integer, Boolean, Menu, Button, Other };

    std::uint32_t id = 0;
    QString name;
    Kind kind = Kind::Integer;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    /// The value read when the description was taken.
    int value = 0;
    /// False for read-only and disabled controls.
    bool writable = true;
    /// For menus: the item indices the device accepts (menus may have holes).
    QList<int> menuItems;
};

struct V4l2DeviceDescription
{
    QString card;
    QString driver;
    QString busInfo;
    /// The node's own capabilities (device_caps), not those of the whole physical device.
    std::uint32_t deviceCaps = 0;
    QList<V4l2PixelFormat> formats;
    QList<V4l2ControlInfo> controls;

    /// A node that streams video frames; metadata and output nodes of the same camera are not.
    bool isVideoCapture() const
    {
        return (deviceCaps & V4l2::CapVideoCapture) && (deviceCaps & V4l2::CapStreaming);
    }
    const V4l2ControlInfo *control(std::uint32_t id) const
    {
        for (const V4l2ControlInfo &info : controls) {
            if (info.id == id)
                return &info;
        }
        return nullptr;
    }
};
