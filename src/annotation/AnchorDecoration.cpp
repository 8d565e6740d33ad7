#include "AnchorDecoration.h"

#include "BaseGraphic.h"

#include <QLineF>
#include <QtMath>

qreal AnchorDecoration::reach(qreal penWidth)
{
    return qMax(10.0, 3.0 * penWidth);
}

QPainterPath AnchorDecoration::build(int anchor, const QPointF &from, const QPointF &tip,
                                     qreal penWidth)
{
    QPainterPath outline;
    const qreal size = reach(penWidth);
    switch (anchor) {
    case BaseGraphic::AnchorArrow: {
        QLineF direction(from, tip);
        // A click without a drag has no direction; point the arrow to the right.
        if (direction.length() < 1e-9)
            direction = QLineF(tip - QPointF(1, 0), tip);
        const QLineF unit = direction.unitVector();
        const QPointF along = unit.p2() - unit.p1();
        const QPointF across(-along.y(), along.x());
        const QPointF base = tip - along * size;
        outline.moveTo(tip);
        outline.lineTo(base + across * (size * 0.5));
        outline.lineTo(base - across * (size * 0.5));
        outline.closeSubpath();
        break;
    }
    case BaseGraphic::AnchorDot: {
        const qreal radius = size * 0.4;
        outline.addEllipse(tip, radius, radius);
        break;
    }
    default:
        break;
    }
    return outline;
}
