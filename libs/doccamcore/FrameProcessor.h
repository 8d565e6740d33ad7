#pragma once

#include "DocCamTypes.h"

#include <QImage>

/// The picture operations the library performs in software when a camera cannot: digital zoom,
/// mirror, rotation, black and white and negative. Stateless; safe on any thread.
class FrameProcessor
{
public:
    struct Settings
    {
        double zoomRatio = 1.0; ///< centre crop by 1 / ratio
        bool mirror = false;
        unsigned rotation = 0; ///< clockwise degrees, a multiple of 90
        int colorEffect = DocCam::ColorEffectColor;
    };

    /// Applies the operations that `softwareCapabilities` (DocCam::Capability bits) says are
    /// done in software. Returns `source` itself, without copying, when none applies.
    static QImage process(const QImage &source, const Settings &settings,
                          std::uint32_t softwareCapabilities);

    /// The centre rectangle digital zoom keeps of a picture of `size`.
    static QRect zoomCrop(QSize size, double zoomRatio);
};
