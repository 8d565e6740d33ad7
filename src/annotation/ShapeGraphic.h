#pragma once

#include "BaseGraphic.h"

#include <QGraphicsPathItem>

/// A closed shape drawn by dragging a rectangle, outlined with a pen and filled with a brush.
///
/// Kinds (shapeType()); the polygon kinds are drawn into the dragged rectangle:
///
/// | Kind | Shape | Kind | Shape |
/// |---|---|---|---|
/// | 0 | rectangle | 9 | arrow pointing right |
/// | 1 | ellipse | 10 | arrow pointing left |
/// | 2 | triangle, apex at the top centre | 11 | arrow pointing up |
/// | 3 | right triangle, right angle at the bottom left | 12 | arrow pointing down |
/// | 4 | diamond | 13 | plus sign |
/// | 5 | pentagon, point up | 14 | heart |
/// | 6 | hexagon, flat top | 15 | parallelogram leaning right |
/// | 7 | octagon | 16 | trapezoid, narrow side up |
/// | 8 | five-pointed star | 17 | rounded rectangle (corners 10 % of the half sides) |
///
/// Any other kind draws a rectangle. Kinds 0, 2 to 13, 15 and 16 have sharp corners and use a
/// miter join; the others a round join. Every kind but 1 and 17 is a single closed polygon, so
/// the file's point list gives it back exactly; 0, 1 and 17 are rebuilt from the points' bounds.
class ShapeGraphic : public QGraphicsPathItem, public BaseGraphic
{
public:
    enum { Type = UserType + 1 };
    static constexpr quint32 Capabilities = 0x2FDFD;
    /// A press without movement would leave a shape of one unit, which nobody could see.
    static constexpr bool ClickDraws = false;
    /// The highest kind with a shape of its own; the file holds no other.
    static constexpr quint32 LastKind = 17;

    explicit ShapeGraphic(quint32 kind = 0, QGraphicsItem *parent = nullptr);
    /// A copy for cloning: path, pen, brush, kind, the BaseGraphic state and the common item
    /// state.
    ShapeGraphic(const ShapeGraphic &other);

    int type() const override { return Type; }

    QPen pen() const override;
    void setPen(const QPen &pen) override;
    QBrush brush() const override;
    void setBrush(const QBrush &brush) override;

    quint32 shapeType() const override { return kind; }
    /// Redraws the shape as `kind` in the current bounds, with the kind's join style.
    void setShapeType(quint32 kind) override;

    using BaseGraphic::scale;
    using BaseGraphic::setScale;

    bool beginCreate(const QPointF &point) override;
    /// Draws the shape into the rectangle from the press point to `point`; with the
    /// free-aspect flag clear both sides take the shorter drag distance.
    bool updateCreate(const QPointF &point) override;
    void endCreate() override;

    void writeXml(CanvasXmlWriter &writer) const override;
    bool readXml(CanvasXmlReader &reader) override;

    /// The outline of `kind` filling `rect`.
    static QPainterPath templatePath(quint32 kind, const QRectF &rect);
    static Qt::PenJoinStyle joinStyle(quint32 kind);

private:
    quint32 kind;
    QPointF pressPoint;
};
