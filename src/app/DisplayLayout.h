#pragma once

#include <QRect>

/// Where each source goes in the main window's central area for a display mode.
///
/// Modes: 0 document camera alone; 1 document camera with the webcam in a corner frame;
/// 2 document camera | webcam; 3 document camera | media; 4, 5, 6 three views with the
/// document camera, the webcam or the media as the large one; 7 and 8 media alone (image or
/// video full display). Sources a mode does not show get an empty rectangle. The views keep
/// their pictures' aspect ratios inside these rectangles, so the layout only shares the area.
struct DisplayLayout
{
    QRect docCam;
    QRect webCam;
    QRect media;
    /// The picture-in-picture frame (mode 1), which holds the webcam.
    QRect pip;

    /// The share of the width the large view of a three-way split takes.
    static constexpr double LargeShare = 2.0 / 3.0;
    /// The picture-in-picture frame's width as a share of the area's.
    static constexpr double PipShare = 0.28;

    /// The layout of `mode` in `area`; `pipCorner` 0 top right, 1 bottom right, 2 bottom left,
    /// 3 top left. An unknown mode lays out like mode 0.
    static DisplayLayout compute(int mode, const QRect &area, int pipCorner = 0);
};
