#pragma once

class QImage;
class QString;

/// Pictures saved as JPEG files with libjpeg-turbo, straight from a QImage's memory.
namespace JpegWriter {

/// Encodes `image` at `quality` (4:2:0 colour, or one grey channel for a grey picture) and
/// writes it to `path` through a temporary file renamed into place. Safe on any thread; shows
/// nothing and logs why it failed.
bool write(const QImage &image, const QString &path, int quality);

} // namespace JpegWriter
