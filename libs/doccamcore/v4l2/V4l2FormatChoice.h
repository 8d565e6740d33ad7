#pragma once

#include "DocCamTypes.h"
#include "V4l2DeviceDescription.h"

/// One format the device can stream: pixel format, size and frame interval.
struct V4l2StreamFormat
{
    std::uint32_t pixelFormat = 0;
    QSize size;
    V4l2FrameInterval interval;

    bool isValid() const { return pixelFormat != 0 && !size.isEmpty(); }
    double frameRate() const { return interval.rate(); }
    DocCam::VideoFormat videoFormat() const { return {size, isValid() ? frameRate() : 0.0}; }
    friend bool operator==(const V4l2StreamFormat &a, const V4l2StreamFormat &b)
    {
        return a.pixelFormat == b.pixelFormat && a.size == b.size
                && a.interval.numerator == b.interval.numerator
                && a.interval.denominator == b.interval.denominator;
    }
};

/// Which of a device's offered formats the backend streams.
namespace V4l2FormatChoice {

/// Rates above this add nothing to a classroom picture, so a camera's 60 fps VGA mode must not
/// win over its 1080p mode at 30 fps.
constexpr double UsefulFrameRate = 30.0;

/// Whether the backend can decode `fourcc`.
bool isDecodable(std::uint32_t fourcc);

/// The live format: the largest size among those reaching the highest useful rate the device
/// offers, at that size's highest rate. Between MJPEG and YUYV at the same size and rate MJPEG
/// wins from 1280x720 up (YUYV at that size exceeds USB 2 bandwidth at full rate) and YUYV
/// below (no decoding, no compression artefacts). Invalid when nothing is decodable.
V4l2StreamFormat liveFormat(const V4l2DeviceDescription &description);

/// The format for high-quality stills: the largest size offered at any rate, when it is
/// larger than `live`; invalid otherwise.
V4l2StreamFormat stillFormat(const V4l2DeviceDescription &description,
                             const V4l2StreamFormat &live);

/// The format to open for a requested one: the requested size when offered (at the rate closest
/// to the requested one, or the highest useful rate when none is asked), else the live format.
V4l2StreamFormat streamFormat(const V4l2DeviceDescription &description,
                              const DocCam::VideoFormat &requested);

} // namespace V4l2FormatChoice
