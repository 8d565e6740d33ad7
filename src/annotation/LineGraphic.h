#pragma once

#include "BaseGraphic.h"

#include <QGraphicsLineItem>
#include <QPainterPath>

/// A straight line with optional anchor decorations at its two ends (arrows, dots).
///
/// A line's edits change the line itself rather than the item's transform, so that the
/// decorations keep their size and the pen its width whatever is done to the line:
///
/// - degree() is the line's direction, clockwise on screen from pointing right, in [0, 360).
///   Drawing a line sets it; setDegree() turns the line about its centre to that direction.
/// - setScale() stretches the line about its centre by the ratio of the new scale to the old.
/// - flip() reflects the line top to bottom about its centre, mirror() left to right; each
///   updates degree() to the new direction and is its own inverse.
///
/// The item's type stays the standard line-item type.
class LineGraphic : public QGraphicsLineItem, public BaseGraphic
{
public:
    static constexpr quint32 Capabilities = 0x2F9FB;
    /// A press without movement would leave a line of no length, which nobody could see.
    static constexpr bool ClickDraws = false;

    explicit LineGraphic(QGraphicsItem *parent = nullptr);
    /// A copy for cloning: line, pen, the BaseGraphic state and the common item state.
    LineGraphic(const LineGraphic &other);

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    /// Sets the line and redraws its decorations.
    void setLine(const QLineF &line);

    QPen pen() const override;
    void setPen(const QPen &pen) override;
    void setStartAnchor(int anchor) override;
    void setEndAnchor(int anchor) override;

    using BaseGraphic::scale;
    void setScale(qreal scale) override;
    void setDegree(qreal degree) override;
    void flip() override;
    void mirror() override;

    /// Starts a line of length 0 at `point`.
    bool beginCreate(const QPointF &point) override;
    /// Moves the line's end to `point`.
    bool updateCreate(const QPointF &point) override;
    /// Takes the drawn direction as the line's degree.
    void endCreate() override;

    void writeXml(CanvasXmlWriter &writer) const override;
    bool readXml(CanvasXmlReader &reader) override;

    /// The outlines of the anchor decorations, filled and stroked with the pen.
    QPainterPath anchorPath() const { return decorations; }

    /// The clockwise on-screen direction of `line` in [0, 360).
    static qreal directionOf(const QLineF &line);

private:
    void rebuildDecorations();

    QPainterPath decorations;
};
