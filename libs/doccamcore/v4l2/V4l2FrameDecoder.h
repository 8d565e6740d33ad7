#pragma once

#include <QImage>

#include <cstdint>
#include <memory>

/// Turns the bytes of one captured buffer into a QImage::Format_RGB32 picture, writing the
/// pixels straight into the image so that each frame is copied exactly once.
class V4l2FrameDecoder
{
public:
    V4l2FrameDecoder();
    ~V4l2FrameDecoder();
    V4l2FrameDecoder(const V4l2FrameDecoder &) = delete;
    V4l2FrameDecoder &operator=(const V4l2FrameDecoder &) = delete;

    /// Decodes a buffer of `pixelFormat` (MJPEG or YUYV). `size` and `bytesPerLine` are the
    /// negotiated format's; an MJPEG frame carries its own size. A null image when the data
    /// cannot be decoded (a truncated or corrupt buffer).
    QImage decode(std::uint32_t pixelFormat, const uchar *data, std::size_t bytes, QSize size,
                  int bytesPerLine, QSize fitIn = {});

    /// Decodes a JPEG picture. A picture larger than `fitIn` comes out at the largest size of
    /// its own shape that fits in it, area-averaged (the size it is shown at, so that showing
    /// it needs no resampling); a smaller one, or any when `fitIn` is empty, at its own size.
    QImage decodeMjpeg(const uchar *data, std::size_t bytes, QSize fitIn = {});
    /// Converts packed 4:2:2 YUV (Y0 U Y1 V) with BT.601 limited-range coefficients, as UVC
    /// cameras send it.
    static QImage convertYuyv(const uchar *data, std::size_t bytes, QSize size, int bytesPerLine);

private:
    struct ShrinkBuffers;

    /// Decodes the JPEG's planes at `decoded` (its own size, or a DCT scaling when `scaled`),
    /// shrinks them to `shown` and converts those to RGB into `result` (left null for a damaged
    /// frame). False when the picture's subsampling has no plane layout; nothing was decoded then.
    bool decodeShrunk(const uchar *data, std::size_t bytes, bool scaled, QSize decoded, QSize shown,
                      int subsampling, QImage &result);
    /// Area-average shrink of the 8-bit plane number `plane`.
    void shrinkPlane(int plane, const uchar *source, QSize from, int sourceStride, uchar *out,
                     QSize to, int outStride);

    /// An image of `size` to decode into: one of the earlier results that nobody holds any more,
    /// so that a stream of large frames does not allocate (and fault in) a fresh buffer each time.
    /// Returned by reference: writing to it while only the pool holds it does not copy it.
    QImage &recycledImage(QSize size);

    static constexpr int PoolSize = 4;
    QImage pool[PoolSize];
    int nextPoolSlot = 0;

    struct TurboJpegDeleter
    {
        void operator()(void *handle) const;
    };
    std::unique_ptr<void, TurboJpegDeleter> jpeg;
    std::unique_ptr<ShrinkBuffers> shrinkBuffers;
};
