#include "JpegWriter.h"

#include <LogModule.h>

#include <QImage>
#include <QSaveFile>
#include <QString>
#include <QSysInfo>

#include <turbojpeg.h>

#include <memory>

namespace {

const LogModule jpegLog("velora/capture");

struct TurboJpegDeleter
{
    void operator()(void *handle) const { tjDestroy(static_cast<tjhandle>(handle)); }
};
struct TurboJpegBytesDeleter
{
    void operator()(unsigned char *bytes) const { tjFree(bytes); }
};

/// libjpeg-turbo's name for the byte order of a 32-bit QImage pixel (0xffRRGGBB in memory).
constexpr int Rgb32Layout = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;

} // namespace

bool JpegWriter::write(const QImage &image, const QString &path, int quality, QString *reason)
{
    const auto fail = [&path, reason](const char *what, const QString &why) {
        jpegLog.log(2, "JpegWriter::write - %s %s failed: %s", what, qPrintable(path),
                    qPrintable(why));
        if (reason)
            *reason = why;
        return false;
    };
    // Encoded from the picture's own memory: 32-bit pictures as they are, grey ones (black and
    // white) as one-channel JPEGs, anything else after one conversion.
    const bool grey = image.depth() <= 8 && image.isGrayscale();
    const QImage::Format layout = grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    const QImage source = image.format() == layout || image.format() == QImage::Format_ARGB32
            ? image
            : image.convertToFormat(layout);

    const std::unique_ptr<void, TurboJpegDeleter> encoder(tjInitCompress());
    unsigned char *bytes = nullptr;
    unsigned long size = 0;
    // Colour at half resolution both ways (4:2:0), the usual choice for photographs.
    const bool encoded = encoder
            && tjCompress2(encoder.get(), source.constBits(), source.width(),
                           int(source.bytesPerLine()), source.height(),
                           grey ? TJPF_GRAY : Rgb32Layout, &bytes, &size,
                           grey ? TJSAMP_GRAY : TJSAMP_420, quality, 0)
                    == 0;
    const std::unique_ptr<unsigned char, TurboJpegBytesDeleter> jpeg(bytes);
    if (!encoded)
        return fail("Encoding", QString::fromLocal8Bit(tjGetErrorStr2(encoder.get())));

    // Written beside the target and renamed into place: a full disk or a crash half-way
    // leaves no truncated picture under the real name. A failed save file removes its
    // temporary file itself, when cancelled or when its commit fails.
    QSaveFile file(path);
    // Unbuffered, so that every byte meets the disk in the loop below, where a failure has its
    // reason, rather than in a flush inside commit(). A short write says nothing of why; the
    // next attempt fails with the system's reason.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail("Creating", file.errorString());
    const char *data = reinterpret_cast<const char *>(jpeg.get());
    for (qint64 left = qint64(size), written = 0; left > 0; data += written, left -= written) {
        written = file.write(data, left);
        if (written <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            return fail("Writing", why);
        }
    }
    if (!file.commit())
        return fail("Finishing", file.errorString());
    return true;
}
