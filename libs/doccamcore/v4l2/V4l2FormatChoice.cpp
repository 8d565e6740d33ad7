#include "V4l2FormatChoice.h"

#include <linux/videodev2.h>

#include <cmath>

static_assert(V4l2::PixelFormatMjpeg == V4L2_PIX_FMT_MJPEG);
static_assert(V4l2::PixelFormatYuyv == V4L2_PIX_FMT_YUYV);

namespace {

// Rates are compared with some slack: 29.97 and 30 are the same choice to a viewer.
constexpr double RateSlack = 0.5;

qint64 area(const QSize &size)
{
    return qint64(size.width()) * size.height();
}

bool prefersMjpeg(const QSize &size)
{
    return size.width() >= 1280 && size.height() >= 720;
}

/// Every decodable (format, size) pair at its best rate up to `rateCap`: the highest rate not
/// above the cap, or the lowest one offered when all are above it.
QList<V4l2StreamFormat> candidates(const V4l2DeviceDescription &description, double rateCap)
{
    QList<V4l2StreamFormat> result;
    for (const V4l2PixelFormat &format : description.formats) {
        if (!V4l2FormatChoice::isDecodable(format.fourcc))
            continue;
        for (const V4l2FrameSize &frameSize : format.sizes) {
            if (frameSize.size.isEmpty())
                continue;
            V4l2StreamFormat best{format.fourcc, frameSize.size, {}};
            bool found = false;
            for (const V4l2FrameInterval &interval : frameSize.intervals) {
                const double rate = interval.rate();
                if (rate <= 0)
                    continue;
                const double bestRate = best.frameRate();
                const bool withinCap = rate <= rateCap + RateSlack;
                const bool bestWithinCap = bestRate <= rateCap + RateSlack;
                bool better;
                if (!found)
                    better = true;
                else if (withinCap != bestWithinCap)
                    better = withinCap;
                else
                    better = withinCap ? rate > bestRate : rate < bestRate;
                if (better) {
                    best.interval = interval;
                    found = true;
                }
            }
            // A size without enumerable intervals still streams, at whatever the driver picks.
            if (!found)
                best.interval = {0, 0};
            result.append(best);
        }
    }
    return result;
}

/// Whether `a` beats `b` for the same size and rate.
bool betterPixelFormat(const V4l2StreamFormat &a, const V4l2StreamFormat &b)
{
    if (a.pixelFormat == b.pixelFormat)
        return false;
    const std::uint32_t preferred
            = prefersMjpeg(a.size) ? V4l2::PixelFormatMjpeg : V4l2::PixelFormatYuyv;
    return a.pixelFormat == preferred;
}

bool sameRate(double a, double b)
{
    return std::abs(a - b) <= RateSlack;
}

} // namespace

namespace V4l2FormatChoice {

bool isDecodable(std::uint32_t fourcc)
{
    return fourcc == V4l2::PixelFormatMjpeg || fourcc == V4l2::PixelFormatYuyv;
}

V4l2StreamFormat liveFormat(const V4l2DeviceDescription &description)
{
    const QList<V4l2StreamFormat> all = candidates(description, UsefulFrameRate);
    double targetRate = 0;
    for (const V4l2StreamFormat &format : all)
        targetRate = std::max(targetRate, std::min(format.frameRate(), UsefulFrameRate));

    V4l2StreamFormat best;
    for (const V4l2StreamFormat &format : all) {
        // Formats without a known rate only count when no size reports one.
        if (targetRate > 0 && format.frameRate() < targetRate - RateSlack)
            continue;
        if (!best.isValid() || area(format.size) > area(best.size)) {
            best = format;
        } else if (area(format.size) == area(best.size)) {
            if (format.frameRate() > best.frameRate() + RateSlack
                || (sameRate(format.frameRate(), best.frameRate())
                    && betterPixelFormat(format, best))) {
                best = format;
            }
        }
    }
    return best;
}

V4l2StreamFormat stillFormat(const V4l2DeviceDescription &description, const V4l2StreamFormat &live)
{
    // A still waits for one frame only, so the rate matters little; the best rate at the size
    // still shortens the wait.
    V4l2StreamFormat best;
    for (const V4l2StreamFormat &format : candidates(description, UsefulFrameRate)) {
        if (!best.isValid() || area(format.size) > area(best.size)
            || (area(format.size) == area(best.size)
                && (format.frameRate() > best.frameRate() + RateSlack
                    || (sameRate(format.frameRate(), best.frameRate())
                        && betterPixelFormat(format, best))))) {
            best = format;
        }
    }
    if (!best.isValid() || area(best.size) <= area(live.size))
        return {};
    return best;
}

V4l2StreamFormat streamFormat(const V4l2DeviceDescription &description,
                              const DocCam::VideoFormat &requested)
{
    const V4l2StreamFormat live = liveFormat(description);
    if (!requested.isValid() || requested.size == live.size)
        return live;

    V4l2StreamFormat best;
    for (const V4l2PixelFormat &format : description.formats) {
        if (!isDecodable(format.fourcc))
            continue;
        for (const V4l2FrameSize &frameSize : format.sizes) {
            if (frameSize.size != requested.size)
                continue;
            for (const V4l2FrameInterval &interval : frameSize.intervals) {
                const V4l2StreamFormat candidate{format.fourcc, frameSize.size, interval};
                const double wanted
                        = requested.frameRate > 0 ? requested.frameRate : UsefulFrameRate;
                if (!best.isValid()) {
                    best = candidate;
                    continue;
                }
                const double distance = std::abs(candidate.frameRate() - wanted);
                const double bestDistance = std::abs(best.frameRate() - wanted);
                if (distance < bestDistance - 1e-9
                    || (std::abs(distance - bestDistance) <= 1e-9
                        && betterPixelFormat(candidate, best))) {
                    best = candidate;
                }
            }
        }
    }
    return best.isValid() ? best : live;
}

} // namespace V4l2FormatChoice
