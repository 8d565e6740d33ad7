#include "DisplayLayout.h"

#include <PipView.h>

#include <cmath>

namespace {
/// Splits `area` into a left part of `share` of its width and the rest.
std::pair<QRect, QRect> splitColumns(const QRect &area, double share)
{
    const int leftWidth = int(std::lround(area.width() * share));
    const QRect left(area.left(), area.top(), leftWidth, area.height());
    const QRect right(area.left() + leftWidth, area.top(), area.width() - leftWidth, area.height());
    return {left, right};
}

/// Splits `area` into a top half and a bottom half.
std::pair<QRect, QRect> splitRows(const QRect &area)
{
    const int topHeight = area.height() / 2;
    const QRect top(area.left(), area.top(), area.width(), topHeight);
    const QRect bottom(area.left(), area.top() + topHeight, area.width(),
                       area.height() - topHeight);
    return {top, bottom};
}
} // namespace

DisplayLayout DisplayLayout::compute(int mode, const QRect &area, int pipCorner)
{
    DisplayLayout layout;
    switch (mode) {
    case 1: {
        layout.docCam = area;
        // A 4:3 frame, the usual webcam shape, a little over a quarter of the width.
        const int width = int(std::lround(area.width() * PipShare));
        const QSize size(width, width * 3 / 4);
        layout.pip = PipView::cornerGeometry(area, size, pipCorner);
        layout.webCam = layout.pip;
        break;
    }
    case 2:
        std::tie(layout.docCam, layout.webCam) = splitColumns(area, 0.5);
        break;
    case 3:
        std::tie(layout.docCam, layout.media) = splitColumns(area, 0.5);
        break;
    case 4:
    case 5:
    case 6: {
        const auto [large, side] = splitColumns(area, LargeShare);
        const auto [top, bottom] = splitRows(side);
        if (mode == 4) {
            layout.docCam = large;
            layout.webCam = top;
            layout.media = bottom;
        } else if (mode == 5) {
            layout.webCam = large;
            layout.docCam = top;
            layout.media = bottom;
        } else {
            layout.media = large;
            layout.docCam = top;
            layout.webCam = bottom;
        }
        break;
    }
    case 7:
    case 8:
        layout.media = area;
        break;
    default:
        layout.docCam = area;
        break;
    }
    return layout;
}
