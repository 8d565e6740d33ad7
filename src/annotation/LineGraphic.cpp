#include "LineGraphic.h"

#include "AnchorDecoration.h"
#include "CanvasXml.h"
#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr std::array<QByteArrayView, 4> LineAttributes{"x1", "y1", "x2", "y2"};

qreal normalizedDegree(qreal degree)
{
    qreal normalized = std::fmod(degree, 360.0);
    if (normalized < 0)
        normalized += 360.0;
    // fmod of a value just below 0 can round up to exactly 360.
    return normalized >= 360.0 ? 0.0 : normalized;
}

} // namespace

LineGraphic::LineGraphic(QGraphicsItem *parent)
    : QGraphicsLineItem(parent)
    , BaseGraphic(this, Capabilities)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    QGraphicsLineItem::setPen(QPen(Qt::red, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

LineGraphic::LineGraphic(const LineGraphic &other)
    : QGraphicsLineItem(other.line())
    , BaseGraphic(other, this)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    QGraphicsLineItem::setPen(other.QGraphicsLineItem::pen());
    rebuildDecorations();
    copyCommonState(other);
}

qreal LineGraphic::directionOf(const QLineF &line)
{
    // QLineF::angle() turns counter-clockwise on screen; the degree turns the way items rotate.
    return normalizedDegree(360.0 - line.angle());
}

QRectF LineGraphic::boundingRect() const
{
    const QRectF lineBounds = QGraphicsLineItem::boundingRect();
    if (decorations.isEmpty())
        return lineBounds;
    const qreal m = QGraphicsLineItem::pen().widthF() / 2.0 + 1.0;
    return lineBounds.united(decorations.controlPointRect().adjusted(-m, -m, m, m));
}

QPainterPath LineGraphic::shape() const
{
    QPainterPath path = QGraphicsLineItem::shape();
    path.addPath(decorations);
    path.setFillRule(Qt::WindingFill);
    return path;
}

void LineGraphic::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    painter->setRenderHint(QPainter::Antialiasing);
    QGraphicsLineItem::paint(painter, option, widget);
    if (decorations.isEmpty())
        return;
    const QPen linePen = QGraphicsLineItem::pen();
    painter->setPen(linePen);
    painter->setBrush(linePen.brush());
    painter->drawPath(decorations);
}

void LineGraphic::setLine(const QLineF &line)
{
    QGraphicsLineItem::setLine(line);
    rebuildDecorations();
}

QPen LineGraphic::pen() const
{
    return QGraphicsLineItem::pen();
}

void LineGraphic::setPen(const QPen &pen)
{
    QGraphicsLineItem::setPen(pen);
    rebuildDecorations();
}

void LineGraphic::setStartAnchor(int anchor)
{
    if (!hasCapability(CapAnchors) || anchor == startAnchor())
        return;
    storeStartAnchor(anchor);
    rebuildDecorations();
}

void LineGraphic::setEndAnchor(int anchor)
{
    if (!hasCapability(CapAnchors) || anchor == endAnchor())
        return;
    storeEndAnchor(anchor);
    rebuildDecorations();
}

void LineGraphic::rebuildDecorations()
{
    prepareGeometryChange();
    const QLineF current = line();
    const qreal width = QGraphicsLineItem::pen().widthF();
    decorations = AnchorDecoration::build(startAnchor(), current.p2(), current.p1(), width);
    decorations.addPath(AnchorDecoration::build(endAnchor(), current.p1(), current.p2(), width));
    update();
}

void LineGraphic::setScale(qreal newScale)
{
    if (!hasCapability(CapScaleX | CapScaleY))
        return;
    if (newScale <= 0 || newScale == scale())
        return;
    // A scale read from a damaged file may be 0; then the line as it is counts as scale 1.
    const qreal factor = scale() > 0 ? newScale / scale() : newScale;
    storeScale(newScale);
    const QLineF current = line();
    const QPointF centre = current.center();
    setLine(QLineF(centre + (current.p1() - centre) * factor,
                   centre + (current.p2() - centre) * factor));
}

void LineGraphic::setDegree(qreal newDegree)
{
    if (!hasCapability(CapRotate) || qFuzzyCompare(newDegree, degree()))
        return;
    storeDegree(newDegree);
    const QLineF current = line();
    const QPointF half = QLineF::fromPolar(current.length() / 2.0, -newDegree).p2();
    setLine(QLineF(current.center() - half, current.center() + half));
}

void LineGraphic::flip()
{
    if (!hasCapability(CapFlip))
        return;
    storeFlipped(!isFlipped());
    storeDegree(normalizedDegree(-degree()));
    const QLineF current = line();
    setLine(QLineF(current.x1(), current.y2(), current.x2(), current.y1()));
}

void LineGraphic::mirror()
{
    if (!hasCapability(CapMirror))
        return;
    storeMirrored(!isMirrored());
    storeDegree(normalizedDegree(180.0 - degree()));
    const QLineF current = line();
    setLine(QLineF(current.x2(), current.y1(), current.x1(), current.y2()));
}

bool LineGraphic::beginCreate(const QPointF &point)
{
    setCreating(true);
    setLine(QLineF(point, point));
    return true;
}

bool LineGraphic::updateCreate(const QPointF &point)
{
    if (!isCreating() || point == line().p2())
        return false;
    setLine(QLineF(line().p1(), point));
    return true;
}

void LineGraphic::endCreate()
{
    if (!isCreating())
        return;
    const qreal angle = line().angle();
    storeDegree(angle > 0 ? 360.0 - angle : angle);
    rebuildDecorations();
    setCreating(false);
}

void LineGraphic::writeXml(CanvasXmlWriter &writer) const
{
    writeCommonAttributes(writer);
    writeTransformAttributes(writer);
    CanvasXml::writePen(writer, pen());
    const QLineF current = line();
    CanvasXml::writeNumbers<double, 4>(writer, "line", LineAttributes,
                                       {current.x1(), current.y1(), current.x2(), current.y2()});
}

bool LineGraphic::readXml(CanvasXmlReader &reader)
{
    if (!readCommonAttributes(reader) || !readTransformAttributes(reader))
        return false;
    if (!reader.readNextStartElement()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return false;
    }
    const auto linePen = CanvasXml::readPen(reader);
    if (!linePen)
        return false;
    const auto ends = CanvasXml::readNumbers<double, 4>(reader, "line", LineAttributes);
    if (!ends)
        return false;
    const auto [x1, y1, x2, y2] = *ends;
    // The line's edits live in its geometry, so the stored scale and degree are not applied
    // again as a transform.
    QGraphicsLineItem::setPen(*linePen);
    setLine(QLineF(x1, y1, x2, y2));
    return true;
}
