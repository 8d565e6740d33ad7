#pragma once

class QImage;
class QString;

/// Pictures saved as JPEG files with libjpeg-turbo, straight from a QImage's memory.
namespace JpegWriter {

/// Encodes `image` at `quality` (4:2:0 colour, or one grey channel for a grey picture) and
/// writes it to `path` through a temporary file renamed into place. Safe on any thread; shows
/// nothing. On failure nothing is left under `path` or beside it, and `reason` (when given)
/// receives the system's explanation, such as "No space left on device".
bool write(const QImage &image, const QString &path, int quality, QString *reason = nullptr);

} // namespace JpegWriter
