#include "ShapeGraphic.h"

#include "CanvasXml.h"
#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"

#include <QPolygonF>
#include <QtMath>

#include <array>
#include <cmath>

namespace {

enum Kind : quint32 {
    Rectangle = 0,
    Ellipse = 1,
    Triangle = 2,
    RightTriangle = 3,
    Diamond = 4,
    Pentagon = 5,
    Hexagon = 6,
    Octagon = 7,
    Star = 8,
    ArrowRight = 9,
    ArrowLeft = 10,
    ArrowUp = 11,
    ArrowDown = 12,
    Plus = 13,
    Heart = 14,
    Parallelogram = 15,
    Trapezoid = 16,
    RoundedRectangle = 17,
};
static_assert(RoundedRectangle == ShapeGraphic::LastKind);

// Corners of a regular polygon inscribed in the unit square, the first at `startDegrees`
// (clockwise on screen from the right).
QPolygonF regularPolygon(int corners, qreal startDegrees)
{
    QPolygonF polygon;
    for (int i = 0; i < corners; ++i) {
        const qreal angle = qDegreesToRadians(startDegrees + 360.0 * i / corners);
        polygon << QPointF(0.5 + 0.5 * std::cos(angle), 0.5 + 0.5 * std::sin(angle));
    }
    return polygon;
}

QPolygonF starPolygon()
{
    QPolygonF polygon;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = i % 2 == 0 ? 0.5 : 0.2;
        const qreal angle = qDegreesToRadians(-90.0 + 36.0 * i);
        polygon << QPointF(0.5 + radius * std::cos(angle), 0.5 + radius * std::sin(angle));
    }
    return polygon;
}

QPolygonF heartPolygon()
{
    // Drawn with curves, then flattened: a polygon survives the file's straight-segment point
    // list unchanged, a curve would not.
    QPainterPath heart;
    heart.moveTo(0.5, 0.25);
    heart.cubicTo(0.5, 0.0, 0.0, 0.0, 0.0, 0.3);
    heart.cubicTo(0.0, 0.6, 0.4, 0.75, 0.5, 1.0);
    heart.cubicTo(0.6, 0.75, 1.0, 0.6, 1.0, 0.3);
    heart.cubicTo(1.0, 0.0, 0.5, 0.0, 0.5, 0.25);
    QPolygonF polygon = heart.toSubpathPolygons().value(0);
    if (polygon.size() > 1 && polygon.first() == polygon.last())
        polygon.removeLast();
    return polygon;
}

QPolygonF unitPolygon(quint32 kind)
{
    switch (kind) {
    case Triangle:
        return {{0.5, 0.0}, {1.0, 1.0}, {0.0, 1.0}};
    case RightTriangle:
        return {{0.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}};
    case Diamond:
        return {{0.5, 0.0}, {1.0, 0.5}, {0.5, 1.0}, {0.0, 0.5}};
    case Pentagon:
        return regularPolygon(5, -90.0);
    case Hexagon:
        return regularPolygon(6, 0.0);
    case Octagon:
        return regularPolygon(8, 22.5);
    case Star:
        return starPolygon();
    case ArrowRight:
        return {{0.0, 0.3}, {0.6, 0.3}, {0.6, 0.0}, {1.0, 0.5}, {0.6, 1.0}, {0.6, 0.7}, {0.0, 0.7}};
    case ArrowLeft:
        return {{1.0, 0.3}, {0.4, 0.3}, {0.4, 0.0}, {0.0, 0.5}, {0.4, 1.0}, {0.4, 0.7}, {1.0, 0.7}};
    case ArrowUp:
        return {{0.3, 1.0}, {0.3, 0.4}, {0.0, 0.4}, {0.5, 0.0}, {1.0, 0.4}, {0.7, 0.4}, {0.7, 1.0}};
    case ArrowDown:
        return {{0.3, 0.0}, {0.3, 0.6}, {0.0, 0.6}, {0.5, 1.0}, {1.0, 0.6}, {0.7, 0.6}, {0.7, 0.0}};
    case Plus:
        return {{0.35, 0.0}, {0.65, 0.0}, {0.65, 0.35}, {1.0, 0.35}, {1.0, 0.65}, {0.65, 0.65},
                {0.65, 1.0}, {0.35, 1.0}, {0.35, 0.65}, {0.0, 0.65}, {0.0, 0.35}, {0.35, 0.35}};
    case Heart:
        return heartPolygon();
    case Parallelogram:
        return {{0.25, 0.0}, {1.0, 0.0}, {0.75, 1.0}, {0.0, 1.0}};
    case Trapezoid:
        return {{0.25, 0.0}, {0.75, 0.0}, {1.0, 1.0}, {0.0, 1.0}};
    default:
        return {};
    }
}

} // namespace

ShapeGraphic::ShapeGraphic(quint32 kind, QGraphicsItem *parent)
    : QGraphicsPathItem(parent)
    , BaseGraphic(this, Capabilities)
    , kind(kind)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
}

ShapeGraphic::ShapeGraphic(const ShapeGraphic &other)
    : QGraphicsPathItem(other.path())
    , BaseGraphic(other, this)
    , kind(other.kind)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    QGraphicsPathItem::setPen(other.QGraphicsPathItem::pen());
    QGraphicsPathItem::setBrush(other.QGraphicsPathItem::brush());
    copyCommonState(other);
}

QPen ShapeGraphic::pen() const
{
    return QGraphicsPathItem::pen();
}

void ShapeGraphic::setPen(const QPen &pen)
{
    QGraphicsPathItem::setPen(pen);
}

QBrush ShapeGraphic::brush() const
{
    return QGraphicsPathItem::brush();
}

void ShapeGraphic::setBrush(const QBrush &brush)
{
    QGraphicsPathItem::setBrush(brush);
}

Qt::PenJoinStyle ShapeGraphic::joinStyle(quint32 kind)
{
    const bool sharp = kind == Rectangle || (kind >= Triangle && kind <= Plus)
            || kind == Parallelogram || kind == Trapezoid;
    return sharp ? Qt::MiterJoin : Qt::RoundJoin;
}

QPainterPath ShapeGraphic::templatePath(quint32 kind, const QRectF &rect)
{
    QPainterPath path;
    switch (kind) {
    case Ellipse:
        path.addEllipse(rect);
        return path;
    case RoundedRectangle:
        path.addRoundedRect(rect, 10, 10, Qt::RelativeSize);
        return path;
    default:
        break;
    }
    const QPolygonF unit = unitPolygon(kind);
    if (unit.isEmpty()) {
        path.addRect(rect);
        return path;
    }
    const auto place = [&rect](const QPointF &point) {
        return QPointF(rect.x() + point.x() * rect.width(), rect.y() + point.y() * rect.height());
    };
    path.moveTo(place(unit.first()));
    for (qsizetype i = 1; i < unit.size(); ++i)
        path.lineTo(place(unit.at(i)));
    path.closeSubpath();
    return path;
}

void ShapeGraphic::setShapeType(quint32 newKind)
{
    if (newKind == kind)
        return;
    kind = newKind;
    const QRectF bounds = path().boundingRect();
    QPen shapePen = pen();
    shapePen.setJoinStyle(joinStyle(kind));
    setPen(shapePen);
    setPath(templatePath(kind, bounds));
}

bool ShapeGraphic::beginCreate(const QPointF &point)
{
    pressPoint = point;
    setCreating(true);
    return true;
}

bool ShapeGraphic::updateCreate(const QPointF &point)
{
    if (!isCreating())
        return false;
    // A drag that has not left the press point still gives a visible 1 x 1 shape.
    const auto side = [](qreal difference) {
        return std::abs(difference) < 1e-8 ? 1.0 : difference;
    };
    qreal dx = side(point.x() - pressPoint.x());
    qreal dy = side(point.y() - pressPoint.y());
    if (!isFreeAspect()) {
        const qreal shorter = qMin(std::abs(dx), std::abs(dy));
        dx = std::copysign(shorter, dx);
        dy = std::copysign(shorter, dy);
    }
    const QRectF rect = QRectF(pressPoint, QSizeF(dx, dy)).normalized();
    const QPainterPath shape = templatePath(kind, rect);
    if (shape == path())
        return false;
    setPath(shape);
    return true;
}

void ShapeGraphic::endCreate()
{
    setCreating(false);
}

void ShapeGraphic::writeXml(CanvasXmlWriter &writer) const
{
    writeCommonAttributes(writer);
    writeTransformAttributes(writer);
    // A kind without a shape of its own is drawn as a rectangle, and saved as one so that the
    // file reads back.
    CanvasXml::writeInt(writer, "shape", kind <= LastKind ? kind : Rectangle);
    CanvasXml::writePen(writer, pen());
    CanvasXml::writeBrush(writer, brush());
    CanvasXml::writePath(writer, path());
}

bool ShapeGraphic::readXml(CanvasXmlReader &reader)
{
    if (!readCommonAttributes(reader) || !readTransformAttributes(reader))
        return false;
    // Kinds are unsigned; one beyond the defined shapes, or negative, comes from a damaged or
    // foreign file.
    const auto shapeKind = CanvasXml::readIntIn(reader, "shape", 0, LastKind);
    if (!shapeKind)
        return false;
    kind = quint32(*shapeKind);
    if (!reader.readNextStartElement()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return false;
    }
    auto shapePen = CanvasXml::readPen(reader);
    if (!shapePen)
        return false;
    shapePen->setJoinStyle(joinStyle(kind));
    const auto shapeBrush = CanvasXml::readBrush(reader);
    if (!shapeBrush)
        return false;
    const auto points = CanvasXml::readPath(reader);
    if (!points)
        return false;
    setPen(*shapePen);
    setBrush(*shapeBrush);
    // Curves were saved as their control points; rebuild them from the points' bounds.
    if (kind == Rectangle || kind == Ellipse || kind == RoundedRectangle)
        setPath(templatePath(kind, points->boundingRect()));
    else
        setPath(*points);
    rebuildTransform();
    return true;
}
