#include "V4l2FrameDecoder.h"

#include "V4l2DeviceDescription.h"

#include <turbojpeg.h>

#include <QLoggingCategory>
#include <QtEndian>

#include <algorithm>
#include <limits>

Q_LOGGING_CATEGORY(lcV4l2Decoder, "velora.doccam.v4l2.decoder", QtWarningMsg)

namespace {

inline uchar clampByte(int value)
{
    return uchar(std::clamp(value, 0, 255));
}

} // namespace

void V4l2FrameDecoder::TurboJpegDeleter::operator()(void *handle) const
{
    tjDestroy(static_cast<tjhandle>(handle));
}

V4l2FrameDecoder::V4l2FrameDecoder() = default;
V4l2FrameDecoder::~V4l2FrameDecoder() = default;

QImage V4l2FrameDecoder::decode(std::uint32_t pixelFormat, const uchar *data, std::size_t bytes,
                                QSize size, int bytesPerLine, QSize atLeast)
{
    if (pixelFormat == V4l2::PixelFormatMjpeg)
        return decodeMjpeg(data, bytes, atLeast);
    if (pixelFormat == V4l2::PixelFormatYuyv)
        return convertYuyv(data, bytes, size, bytesPerLine);
    return {};
}

QImage &V4l2FrameDecoder::recycledImage(QSize size)
{
    for (QImage &candidate : pool) {
        // Detached: only the pool holds it, the consumer has let the frame go.
        if (candidate.size() == size && candidate.isDetached())
            return candidate;
    }
    QImage &slot = pool[nextPoolSlot];
    nextPoolSlot = (nextPoolSlot + 1) % PoolSize;
    slot = QImage(size, QImage::Format_RGB32);
    return slot;
}

QImage V4l2FrameDecoder::decodeMjpeg(const uchar *data, std::size_t bytes, QSize atLeast)
{
    if (!data || bytes == 0 || bytes > std::size_t(std::numeric_limits<unsigned long>::max()))
        return {};
    if (!jpeg) {
        jpeg.reset(tjInitDecompress());
        if (!jpeg) {
            qCWarning(lcV4l2Decoder) << "V4l2FrameDecoder::decodeMjpeg - no decompressor:"
                                     << tjGetErrorStr2(nullptr);
            return {};
        }
    }
    const auto handle = static_cast<tjhandle>(jpeg.get());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(bytes), &width, &height,
                            &subsampling, &colorspace)
                != 0
        || width <= 0 || height <= 0) {
        return {};
    }

    // The smallest of the halving scalings that still covers what will be shown: the inverse
    // DCT then skips detail nobody would see. Only 1/2, 1/4 and 1/8: libjpeg-turbo's other M/8
    // factors use a plain C transform that is slower than a full-size SIMD decode.
    if (!atLeast.isEmpty() && (width > atLeast.width() || height > atLeast.height())) {
        int factorCount = 0;
        const tjscalingfactor *factors = tjGetScalingFactors(&factorCount);
        int bestWidth = width;
        int bestHeight = height;
        for (int i = 0; factors && i < factorCount; ++i) {
            if (factors[i].num != 1 || factors[i].denom < 2)
                continue;
            const int scaledWidth = TJSCALED(width, factors[i]);
            const int scaledHeight = TJSCALED(height, factors[i]);
            if (scaledWidth >= atLeast.width() && scaledHeight >= atLeast.height()
                && scaledWidth < bestWidth)
                bestWidth = scaledWidth, bestHeight = scaledHeight;
        }
        width = bestWidth;
        height = bestHeight;
    }

    QImage &image = recycledImage(QSize(width, height));
    if (image.isNull())
        return {};
    // RGB32 is 0xffRRGGBB in native order, which on the little-endian machines we run on is
    // the byte order B, G, R, X; libjpeg-turbo fills X with 0xff.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 is decoded as BGRX");
    if (tjDecompress2(handle, data, static_cast<unsigned long>(bytes), image.bits(), width,
                      int(image.bytesPerLine()), height, TJPF_BGRX, TJFLAG_FASTDCT)
        != 0) {
        // Cameras often send frames with a few corrupt bytes; libjpeg-turbo still decodes those
        // and calls it a warning. Only a fatal error loses the frame.
        if (tjGetErrorCode(handle) != TJERR_WARNING) {
            qCDebug(lcV4l2Decoder) << "V4l2FrameDecoder::decodeMjpeg -" << tjGetErrorStr2(handle);
            return {};
        }
    }
    return image;
}

QImage V4l2FrameDecoder::convertYuyv(const uchar *data, std::size_t bytes, QSize size,
                                     int bytesPerLine)
{
    const int width = size.width();
    const int height = size.height();
    if (!data || width < 2 || height < 1)
        return {};
    const int stride = std::max(bytesPerLine, width * 2);
    if (bytes < std::size_t(stride) * (height - 1) + std::size_t(width) * 2)
        return {};

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        const uchar *in = data + std::size_t(y) * stride;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x + 1 < width; x += 2, in += 4) {
            // BT.601 limited range in 8.8 fixed point.
            const int u = in[1] - 128;
            const int v = in[3] - 128;
            const int redOffset = 409 * v + 128;
            const int greenOffset = -100 * u - 208 * v + 128;
            const int blueOffset = 516 * u + 128;
            for (int i = 0; i < 2; ++i) {
                const int luma = 298 * (in[i * 2] - 16);
                out[x + i] = qRgb(clampByte((luma + redOffset) >> 8),
                                  clampByte((luma + greenOffset) >> 8),
                                  clampByte((luma + blueOffset) >> 8));
            }
        }
        // An odd width leaves the last pixel without its pair; repeat its neighbour.
        if (width % 2)
            out[width - 1] = out[width - 2];
    }
    return image;
}
