#include "FrameProcessor.h"

#include <QTransform>

#include <cmath>

QRect FrameProcessor::zoomCrop(QSize size, double zoomRatio)
{
    if (zoomRatio <= 1.0)
        return QRect(QPoint(0, 0), size);
    const int width = qMax(1, int(std::lround(size.width() / zoomRatio)));
    const int height = qMax(1, int(std::lround(size.height() / zoomRatio)));
    return QRect((size.width() - width) / 2, (size.height() - height) / 2, width, height);
}

QImage FrameProcessor::process(const QImage &source, const Settings &settings,
                               std::uint32_t software)
{
    if (source.isNull())
        return source;
    QImage image = source;

    // Crop first: every later step then works on fewer pixels.
    if ((software & DocCam::CapZoom) && settings.zoomRatio > 1.0)
        image = image.copy(zoomCrop(image.size(), settings.zoomRatio));
    if ((software & DocCam::CapMirror) && settings.mirror)
        image = image.mirrored(true, false);
    if ((software & DocCam::CapRotation) && settings.rotation % 360 != 0)
        image = image.transformed(QTransform().rotate(settings.rotation % 360));
    if (software & DocCam::CapColorEffect) {
        if (settings.colorEffect == DocCam::ColorEffectBlackWhite) {
            image = image.convertToFormat(QImage::Format_Grayscale8);
        } else if (settings.colorEffect == DocCam::ColorEffectNegative) {
            image.invertPixels(); // detaches: the source stays as it was
        }
    }
    return image;
}
