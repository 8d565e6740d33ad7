#pragma once

#include <QPainterPath>
#include <QPointF>

/// The outline drawn at one end of a line or a freehand stroke for its start or end anchor
/// (BaseGraphic::Anchor): an arrow head or a dot, sized from the pen so that it stays visible
/// beside a thick stroke. The outline is filled and stroked with the item's pen.
class AnchorDecoration
{
public:
    /// The decoration at `tip` for a stroke that arrives there from `from`; empty for
    /// AnchorNone and for unknown values.
    static QPainterPath build(int anchor, const QPointF &from, const QPointF &tip, qreal penWidth);

    /// How far back along the stroke `from` should lie so that a wobbly hand-drawn end still
    /// gives the arrow the stroke's overall direction.
    static qreal reach(qreal penWidth);
};
