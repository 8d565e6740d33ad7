#include "V4l2FrameDecoder.h"

#include "V4l2DeviceDescription.h"

#include <turbojpeg.h>

#include <QLoggingCategory>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

Q_LOGGING_CATEGORY(lcV4l2Decoder, "velora.doccam.v4l2.decoder", QtWarningMsg)

namespace {

inline uchar clampByte(int value)
{
    return uchar(std::clamp(value, 0, 255));
}

// Vertical weights multiply bytes and must leave the sum in 16 bits; horizontal weights take
// the high half of a 16-bit product, so their whole is 1 << 16.
constexpr int VerticalWhole = 256;
constexpr int HorizontalWhole = 65536;

/// How an area-average shrink of `from` samples to `to` gathers each output sample: `count`
/// neighbours from `first[i]`, weighted by how much of the output sample's span each covers.
struct AreaTaps
{
    int count = 0;
    std::vector<int> first;
    std::vector<quint16> weights; ///< `count` per output sample
};

AreaTaps areaTaps(int from, int to, int whole)
{
    AreaTaps taps;
    const double ratio = double(from) / to;
    // The samples an output sample's span touches; a span that ends on a sample's edge does
    // not touch the next one, so a shrink by 1.5 needs two taps, not three.
    const auto span = [ratio](int i) {
        const double begin = i * ratio;
        return std::pair(int(begin + 1e-9), int(std::ceil(begin + ratio - 1e-9)));
    };
    for (int i = 0; i < to; ++i)
        taps.count = std::max(taps.count, span(i).second - span(i).first);
    taps.count = std::min(taps.count, from);
    taps.first.resize(std::size_t(to));
    taps.weights.assign(std::size_t(to) * std::size_t(taps.count), 0);
    for (int i = 0; i < to; ++i) {
        const double begin = i * ratio;
        const double end = begin + ratio;
        const int first = std::clamp(span(i).first, 0, from - taps.count);
        taps.first[std::size_t(i)] = first;
        quint16 *weights = &taps.weights[std::size_t(i) * std::size_t(taps.count)];
        int sum = 0;
        int largest = 0;
        for (int k = 0; k < taps.count; ++k) {
            const double covered
                    = std::min(end, double(first + k + 1)) - std::max(begin, double(first + k));
            const int weight = covered > 0 ? int(std::lround(covered / ratio * whole)) : 0;
            weights[k] = quint16(std::min(weight, 65535));
            sum += weight;
            if (weight > weights[largest])
                largest = k;
        }
        // Rounding must not brighten or darken the picture: the weights sum to the whole.
        weights[largest] = quint16(std::min(weights[largest] + whole - sum, 65535));
    }
    return taps;
}

/// One row of the vertical pass: the weighted sum of the source rows output row `y` covers,
/// in 1/256 units.
void verticalRow(const uchar *source, int stride, int width, const AreaTaps &taps, int y,
                 quint16 *row)
{
    const uchar *top = source + std::ptrdiff_t(taps.first[std::size_t(y)]) * stride;
    const quint16 *weights = &taps.weights[std::size_t(y) * std::size_t(taps.count)];
    for (int x = 0; x < width; ++x) {
        int sum = 0;
        for (int k = 0; k < taps.count; ++k)
            sum += top[std::ptrdiff_t(k) * stride + x] * weights[k];
        row[x] = quint16(sum);
    }
}

/// The horizontal pass of one row, one sample at a time.
void horizontalRow(const quint16 *row, const AreaTaps &taps, int width, uchar *out)
{
    for (int x = 0; x < width; ++x) {
        const quint16 *in = row + taps.first[std::size_t(x)];
        const quint16 *weights = &taps.weights[std::size_t(x) * std::size_t(taps.count)];
        unsigned sum = 0;
        for (int k = 0; k < taps.count; ++k)
            sum += (unsigned(in[k]) * weights[k]) >> 16;
        out[x] = uchar((sum + VerticalWhole / 2) / VerticalWhole);
    }
}

#if defined(__SSE2__)
/// Eight vectors of eight 16-bit samples, rows become columns.
inline __attribute__((always_inline)) void transpose8x8(__m128i v[8])
{
    const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]);
    const __m128i a1 = _mm_unpackhi_epi16(v[0], v[1]);
    const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]);
    const __m128i a3 = _mm_unpackhi_epi16(v[2], v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]);
    const __m128i a5 = _mm_unpackhi_epi16(v[4], v[5]);
    const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]);
    const __m128i a7 = _mm_unpackhi_epi16(v[6], v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
    v[4] = _mm_unpacklo_epi64(b2, b6);
    v[5] = _mm_unpackhi_epi64(b2, b6);
    v[6] = _mm_unpacklo_epi64(b3, b7);
    v[7] = _mm_unpackhi_epi64(b3, b7);
}

constexpr int MaxVectorTaps = 8;

/// The vertical pass of eight output rows, whose source rows start at `top`, stored transposed:
/// a vector of the eight rows per column. `Taps` is the tap count when known at compile time.
template<int Taps>
void verticalBlocks(const uchar *const top[8], std::ptrdiff_t stride,
                    const __m128i weights[8][MaxVectorTaps], int taps, int blocks, __m128i *columns)
{
    const int count = Taps ? Taps : taps;
    const __m128i zero = _mm_setzero_si128();
    for (int block = 0; block < blocks; ++block) {
        __m128i samples[8];
        for (int r = 0; r < 8; ++r) {
            __m128i sum = zero;
            for (int k = 0; k < count; ++k) {
                const __m128i bytes = _mm_loadl_epi64(
                        reinterpret_cast<const __m128i *>(top[r] + k * stride + block * 8));
                sum = _mm_add_epi16(sum,
                                    _mm_mullo_epi16(_mm_unpacklo_epi8(bytes, zero), weights[r][k]));
            }
            samples[r] = sum;
        }
        transpose8x8(samples);
        for (int i = 0; i < 8; ++i)
            _mm_storeu_si128(columns + block * 8 + i, samples[i]);
    }
}

/// The horizontal pass of eight transposed rows into `out`, eight output samples at a time.
template<int Taps>
void horizontalBlocks(const __m128i *columns, const int *offsets, const __m128i *weights, int taps,
                      int width, uchar *out, std::ptrdiff_t outStride)
{
    const int count = Taps ? Taps : taps;
    const __m128i half = _mm_set1_epi16(VerticalWhole / 2);
    for (int x = 0; x < width; x += 8) {
        __m128i samples[8];
        for (int i = 0; i < 8; ++i) {
            const __m128i *in = columns + offsets[x + i];
            const __m128i *weight = weights + std::ptrdiff_t(x + i) * count;
            __m128i sum = _mm_mulhi_epu16(_mm_loadu_si128(in), _mm_loadu_si128(weight));
            for (int k = 1; k < count; ++k)
                sum = _mm_add_epi16(
                        sum, _mm_mulhi_epu16(_mm_loadu_si128(in + k), _mm_loadu_si128(weight + k)));
            samples[i] = sum;
        }
        transpose8x8(samples);
        const int stored = std::min(8, width - x);
        for (int r = 0; r < 8; ++r) {
            const __m128i rounded = _mm_srli_epi16(_mm_add_epi16(samples[r], half), 8);
            const __m128i bytes = _mm_packus_epi16(rounded, rounded);
            uchar *target = out + r * outStride + x;
            if (stored == 8) {
                _mm_storel_epi64(reinterpret_cast<__m128i *>(target), bytes);
            } else {
                alignas(16) uchar lane[16];
                _mm_store_si128(reinterpret_cast<__m128i *>(lane), bytes);
                std::copy(lane, lane + stored, target);
            }
        }
    }
}
#endif

} // namespace

/// Scratch memory of the plane shrink, kept between frames so that it is allocated once. The
/// decoded planes end in a block's worth of spare bytes: the shrink reads rows in whole blocks.
struct V4l2FrameDecoder::ShrinkBuffers
{
    static constexpr std::size_t Spare = 16;

    /// How one plane shrinks, worked out again only when its sizes change.
    struct Plan
    {
        QSize from;
        QSize to;
        AreaTaps across;
        AreaTaps down;
        // The eight-row pass's horizontal taps, one per output sample including those up to
        // the next multiple of eight, and their weights in eight 16-bit lanes each.
        std::vector<int> offsets;
        std::vector<quint16> weights;
    };

    std::vector<uchar> decodedPlanes;
    std::vector<uchar> shownPlanes;
    Plan plans[3];
    std::vector<quint16> rows;
    // Eight 16-bit lanes per entry: the vectors of the eight-row pass.
    std::vector<quint16> columns;
};

void V4l2FrameDecoder::shrinkPlane(int plane, const uchar *source, QSize from, int sourceStride,
                                   uchar *out, QSize to, int outStride)
{
    ShrinkBuffers &scratch = *shrinkBuffers;
    ShrinkBuffers::Plan &plan = scratch.plans[plane];
    if (plan.from != from || plan.to != to) {
        plan.from = from;
        plan.to = to;
        plan.across = areaTaps(from.width(), to.width(), HorizontalWhole);
        plan.down = areaTaps(from.height(), to.height(), VerticalWhole);
        const int count = plan.across.count;
        const int paddedTo = (to.width() + 7) / 8 * 8;
        plan.offsets.resize(std::size_t(paddedTo));
        plan.weights.resize(std::size_t(paddedTo) * std::size_t(count) * 8);
        for (int x = 0; x < paddedTo; ++x) {
            // Past the right edge the last sample repeats; it is not stored.
            const std::size_t column = std::size_t(std::min(x, to.width() - 1));
            plan.offsets[std::size_t(x)] = plan.across.first[column];
            for (int k = 0; k < count; ++k)
                std::fill_n(
                        &plan.weights[(std::size_t(x) * std::size_t(count) + std::size_t(k)) * 8],
                        8, plan.across.weights[column * std::size_t(count) + std::size_t(k)]);
        }
    }
    const AreaTaps &across = plan.across;
    const AreaTaps &down = plan.down;
    scratch.rows.resize(std::size_t(from.width()));
    int y = 0;
#if defined(__SSE2__)
    // Eight output rows at once: transposed, their samples line up in vectors, and each pass
    // weighs eight rows with one multiplication. The vertical pass reads whole blocks of eight
    // samples, which the source's padding allows (see ShrinkBuffers).
    const int blocks = (from.width() + 7) / 8;
    const int count = across.count;
    scratch.columns.resize(std::size_t(blocks) * 64);
    auto *columns = reinterpret_cast<__m128i *>(scratch.columns.data());
    const auto *weights = reinterpret_cast<const __m128i *>(plan.weights.data());
    for (; down.count <= MaxVectorTaps && y + 8 <= to.height(); y += 8) {
        const uchar *top[8];
        __m128i rowWeights[8][MaxVectorTaps];
        for (int r = 0; r < 8; ++r) {
            top[r] = source + std::ptrdiff_t(down.first[std::size_t(y + r)]) * sourceStride;
            for (int k = 0; k < down.count; ++k)
                rowWeights[r][k] = _mm_set1_epi16(
                        short(down.weights[std::size_t(y + r) * std::size_t(down.count) + k]));
        }
        // Shrinking by up to two needs two or three taps; those loops are unrolled.
        if (down.count == 2)
            verticalBlocks<2>(top, sourceStride, rowWeights, 2, blocks, columns);
        else if (down.count == 3)
            verticalBlocks<3>(top, sourceStride, rowWeights, 3, blocks, columns);
        else
            verticalBlocks<0>(top, sourceStride, rowWeights, down.count, blocks, columns);
        uchar *rows = out + std::ptrdiff_t(y) * outStride;
        if (count == 2)
            horizontalBlocks<2>(columns, plan.offsets.data(), weights, 2, to.width(), rows,
                                outStride);
        else if (count == 3)
            horizontalBlocks<3>(columns, plan.offsets.data(), weights, 3, to.width(), rows,
                                outStride);
        else
            horizontalBlocks<0>(columns, plan.offsets.data(), weights, count, to.width(), rows,
                                outStride);
    }
#endif
    for (; y < to.height(); ++y) {
        verticalRow(source, sourceStride, from.width(), down, y, scratch.rows.data());
        horizontalRow(scratch.rows.data(), across, to.width(), out + std::ptrdiff_t(y) * outStride);
    }
}

void V4l2FrameDecoder::TurboJpegDeleter::operator()(void *handle) const
{
    tjDestroy(static_cast<tjhandle>(handle));
}

V4l2FrameDecoder::V4l2FrameDecoder()
    : shrinkBuffers(std::make_unique<ShrinkBuffers>())
{ }

V4l2FrameDecoder::~V4l2FrameDecoder() = default;

QImage V4l2FrameDecoder::decode(std::uint32_t pixelFormat, const uchar *data, std::size_t bytes,
                                QSize size, int bytesPerLine, QSize fitIn)
{
    if (pixelFormat == V4l2::PixelFormatMjpeg)
        return decodeMjpeg(data, bytes, fitIn);
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

QImage V4l2FrameDecoder::decodeMjpeg(const uchar *data, std::size_t bytes, QSize fitIn)
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

    // Shown at most at the largest size of its own shape that fits in `fitIn`.
    const QSize whole(width, height);
    QSize shown = whole;
    if (!fitIn.isEmpty() && (width > fitIn.width() || height > fitIn.height()))
        shown = whole.scaled(fitIn, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));

    // The smallest of the halving scalings that still covers what will be shown: the inverse
    // DCT then skips detail nobody would see. Only 1/2, 1/4 and 1/8: libjpeg-turbo's other M/8
    // factors use a plain C transform; 3/4 of a 1080p frame takes twice as long as all of it.
    int factorCount = 0;
    const tjscalingfactor *factors = shown == whole ? nullptr : tjGetScalingFactors(&factorCount);
    for (int i = 0; factors && i < factorCount; ++i) {
        if (factors[i].num != 1 || factors[i].denom < 2)
            continue;
        const int scaledWidth = TJSCALED(whole.width(), factors[i]);
        const int scaledHeight = TJSCALED(whole.height(), factors[i]);
        if (scaledWidth >= shown.width() && scaledHeight >= shown.height() && scaledWidth < width)
            width = scaledWidth, height = scaledHeight;
    }
    // The rest of the way in the YUV planes the JPEG holds: shrinking them costs less than
    // shrinking RGB, and only the shown pixels are converted to RGB. Painting the frame is
    // then a copy instead of a resampling.
    if (QSize(width, height) != shown && (colorspace == TJCS_YCbCr || colorspace == TJCS_GRAY)) {
        if (QImage shrunk; decodeShrunk(data, bytes, QSize(width, height) != whole,
                                        QSize(width, height), shown, subsampling, shrunk))
            return shrunk;
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

bool V4l2FrameDecoder::decodeShrunk(const uchar *data, std::size_t bytes, bool scaled,
                                    QSize decoded, QSize shown, int subsampling, QImage &result)
{
    const auto handle = static_cast<tjhandle>(jpeg.get());
    const int planeCount = subsampling == TJSAMP_GRAY ? 1 : 3;
    QSize decodedPlanes[3];
    QSize shownPlanes[3];
    std::size_t decodedBytes = 0;
    std::size_t shownBytes = 0;
    for (int i = 0; i < planeCount; ++i) {
        decodedPlanes[i] = QSize(tjPlaneWidth(i, decoded.width(), subsampling),
                                 tjPlaneHeight(i, decoded.height(), subsampling));
        shownPlanes[i] = QSize(tjPlaneWidth(i, shown.width(), subsampling),
                               tjPlaneHeight(i, shown.height(), subsampling));
        if (decodedPlanes[i].isEmpty() || shownPlanes[i].isEmpty())
            return false; // a subsampling libjpeg-turbo cannot lay out in planes
        decodedBytes += std::size_t(decodedPlanes[i].width()) * decodedPlanes[i].height();
        shownBytes += std::size_t(shownPlanes[i].width()) * shownPlanes[i].height();
    }
    ShrinkBuffers &scratch = *shrinkBuffers;
    scratch.decodedPlanes.resize(decodedBytes + ShrinkBuffers::Spare);
    scratch.shownPlanes.resize(shownBytes);
    uchar *decodedData[3] = {};
    uchar *shownData[3] = {};
    int decodedStrides[3] = {};
    int shownStrides[3] = {};
    for (int i = 0; i < planeCount; ++i) {
        decodedData[i] = i == 0 ? scratch.decodedPlanes.data()
                                : decodedData[i - 1]
                        + std::size_t(decodedStrides[i - 1]) * decodedPlanes[i - 1].height();
        shownData[i] = i == 0
                ? scratch.shownPlanes.data()
                : shownData[i - 1] + std::size_t(shownStrides[i - 1]) * shownPlanes[i - 1].height();
        decodedStrides[i] = decodedPlanes[i].width();
        shownStrides[i] = shownPlanes[i].width();
    }
    // libjpeg-turbo's fast transform garbles the colour planes of a DCT-scaled decode to planes
    // (the slow one is used for scaled transforms anyway).
    const int flags = scaled ? 0 : TJFLAG_FASTDCT;
    if (tjDecompressToYUVPlanes(handle, data, static_cast<unsigned long>(bytes), decodedData,
                                decoded.width(), decodedStrides, decoded.height(), flags)
                != 0
        && tjGetErrorCode(handle) != TJERR_WARNING) {
        qCDebug(lcV4l2Decoder) << "V4l2FrameDecoder::decodeShrunk -" << tjGetErrorStr2(handle);
        return true; // a damaged frame: the null result drops it
    }
    for (int i = 0; i < planeCount; ++i)
        shrinkPlane(i, decodedData[i], decodedPlanes[i], decodedStrides[i], shownData[i],
                    shownPlanes[i], shownStrides[i]);

    QImage &image = recycledImage(shown);
    if (image.isNull())
        return true;
    if (tjDecodeYUVPlanes(handle, const_cast<const uchar **>(shownData), shownStrides, subsampling,
                          image.bits(), shown.width(), int(image.bytesPerLine()), shown.height(),
                          TJPF_BGRX, 0)
        != 0) {
        qCDebug(lcV4l2Decoder) << "V4l2FrameDecoder::decodeShrunk -" << tjGetErrorStr2(handle);
        return true;
    }
    result = image;
    return true;
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
