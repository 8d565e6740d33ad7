#pragma once

#include <QColor>
#include <QPolygonF>

#include <array>
#include <cmath>
#include <numbers>

/// Where the colour wheel's picture has its buttons: six coloured segments in a hexagonal ring,
/// clockwise from the top, around a hexagon that opens the colour dialog.
///
/// The resource generator draws the picture from these polygons and the widget hit-tests clicks
/// against them, so a click always picks the colour drawn under the pointer. Coordinates are
/// fractions of the picture's side.
namespace ColorWheelGeometry {

inline constexpr int SegmentCount = 6;

inline constexpr std::array<QColor, SegmentCount> Colours{
        QColor(252, 58, 59), QColor(255, 156, 58), QColor(255, 230, 52),
        QColor(76, 180, 52), QColor(48, 85, 255),  QColor(110, 52, 186),
};

inline constexpr double OuterRadius = 0.48;
inline constexpr double InnerRadius = 0.2;

/// Corner `k` of a hexagon of `radius` standing on its point, clockwise from the top.
inline QPointF corner(double radius, int k)
{
    const double angle = (-90.0 + 60.0 * k) * std::numbers::pi / 180.0;
    return {0.5 + radius * std::cos(angle), 0.5 + radius * std::sin(angle)};
}

inline QPolygonF segment(int index)
{
    return QPolygonF({corner(InnerRadius, index), corner(OuterRadius, index),
                      corner(OuterRadius, index + 1), corner(InnerRadius, index + 1)});
}

inline QPolygonF moreColours()
{
    QPolygonF hexagon;
    for (int k = 0; k < SegmentCount; ++k)
        hexagon << corner(InnerRadius, k);
    return hexagon;
}

/// A point well inside `polygon` (which is convex): the mean of its corners.
inline QPointF inside(const QPolygonF &polygon)
{
    QPointF sum;
    for (const QPointF &point : polygon)
        sum += point;
    return sum / polygon.size();
}

} // namespace ColorWheelGeometry
