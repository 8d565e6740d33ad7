#include "FreehandGraphic.h"

#include "AnchorDecoration.h"
#include "CanvasXml.h"
#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {

// The end point of the stroke seen from `tip`: the first recorded point at least `reach` away,
// walking from index `start` in steps of `step`.
QPointF strokeDirection(const QPainterPath &path, int start, int step, qreal reach)
{
    const QPointF tip = path.elementAt(start);
    QPointF from = tip;
    for (int i = start + step; i >= 0 && i < path.elementCount(); i += step) {
        from = path.elementAt(i);
        if (QLineF(from, tip).length() >= reach)
            break;
    }
    return from;
}

void paintSelection(QPainter *painter, const QRectF &rect)
{
    painter->save();
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::black, 0, Qt::DashLine));
    painter->drawRect(rect);
    painter->restore();
}

} // namespace

FreehandGraphic::FreehandGraphic(QGraphicsItem *parent)
    : FreehandGraphic(Capabilities, parent)
{ }

FreehandGraphic::FreehandGraphic(quint32 capabilities, QGraphicsItem *parent)
    : QAbstractGraphicsShapeItem(parent)
    , BaseGraphic(this, capabilities)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemUsesExtendedStyleOption
             | ItemSendsGeometryChanges);
    QAbstractGraphicsShapeItem::setPen(
            QPen(Qt::red, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

FreehandGraphic::FreehandGraphic(const FreehandGraphic &other)
    : QAbstractGraphicsShapeItem()
    , BaseGraphic(other, this)
    , source(other.source)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemUsesExtendedStyleOption
             | ItemSendsGeometryChanges);
    QAbstractGraphicsShapeItem::setPen(other.QAbstractGraphicsShapeItem::pen());
    rebuildGeometry();
    copyCommonState(other);
    // A copy of a stroke still being drawn is a finished stroke.
    updateCacheMode();
}

FreehandGraphic::~FreehandGraphic() = default;

qreal FreehandGraphic::margin() const
{
    // Half the pen on each side, and a pixel for antialiasing.
    return QAbstractGraphicsShapeItem::pen().widthF() / 2.0 + 1.0;
}

QRectF FreehandGraphic::boundingRect() const
{
    return itemBounds;
}

QPainterPath FreehandGraphic::shape() const
{
    if (shapeCache.isEmpty() && !source.isEmpty()) {
        QPainterPathStroker stroker(QAbstractGraphicsShapeItem::pen());
        stroker.setWidth(qMax<qreal>(1.0, stroker.width()));
        shapeCache = stroker.createStroke(source);
        shapeCache.addPath(decorations);
        shapeCache.setFillRule(Qt::WindingFill);
    }
    return shapeCache;
}

void FreehandGraphic::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QPen strokePen = QAbstractGraphicsShapeItem::pen();
    if (!offscreen.isNull()) {
        const QRectF area = option->exposedRect.intersected(offscreenRect());
        painter->save();
        painter->setOpacity(painter->opacity() * strokePen.color().alphaF());
        painter->drawPixmap(area, offscreen, area.translated(-offscreenOrigin));
        painter->restore();
    } else {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(strokePen);
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(source);
        if (!decorations.isEmpty()) {
            painter->setBrush(strokePen.brush());
            painter->drawPath(decorations);
        }
        painter->restore();
    }
    if (option->state & QStyle::State_Selected)
        paintSelection(painter, itemBounds);
}

QPen FreehandGraphic::pen() const
{
    return QAbstractGraphicsShapeItem::pen();
}

void FreehandGraphic::setPen(const QPen &pen)
{
    QAbstractGraphicsShapeItem::setPen(pen);
    // The decorations and the margin follow the pen's width; a stroke being drawn has no
    // decorations yet.
    if (isCreating()) {
        const qreal m = margin();
        itemBounds = pathBounds.adjusted(-m, -m, m, m);
        shapeCache = QPainterPath();
    } else {
        rebuildGeometry();
    }
}

void FreehandGraphic::setStartAnchor(int anchor)
{
    if (!hasCapability(CapAnchors) || anchor == startAnchor())
        return;
    storeStartAnchor(anchor);
    rebuildGeometry();
}

void FreehandGraphic::setEndAnchor(int anchor)
{
    if (!hasCapability(CapAnchors) || anchor == endAnchor())
        return;
    storeEndAnchor(anchor);
    rebuildGeometry();
}

void FreehandGraphic::setSourcePath(const QPainterPath &path)
{
    source = path;
    rebuildGeometry();
}

QRectF FreehandGraphic::offscreenRect() const
{
    if (offscreen.isNull())
        return {};
    return QRectF(offscreenOrigin, QSizeF(offscreen.size()));
}

QVariant FreehandGraphic::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemTransformHasChanged)
        updateCacheMode();
    return QAbstractGraphicsShapeItem::itemChange(change, value);
}

void FreehandGraphic::updateCacheMode()
{
    if (isCreating())
        return;
    // The scene allocates a device cache as large as the item appears; past the pixmap limit
    // (a stroke scaled up a thousandfold, say) painting the path is the affordable choice.
    const QRectF extent = sceneTransform().mapRect(itemBounds);
    const bool affordable = extent.width() <= MaxPixmapSide && extent.height() <= MaxPixmapSide;
    setCacheMode(affordable ? DeviceCoordinateCache : NoCache);
}

void FreehandGraphic::rebuildGeometry()
{
    prepareGeometryChange();
    decorations = QPainterPath();
    const int count = source.elementCount();
    if (count > 0) {
        const qreal width = QAbstractGraphicsShapeItem::pen().widthF();
        const qreal reach = AnchorDecoration::reach(width);
        decorations.addPath(AnchorDecoration::build(
                startAnchor(), strokeDirection(source, 0, 1, reach), source.elementAt(0), width));
        decorations.addPath(AnchorDecoration::build(endAnchor(),
                                                    strokeDirection(source, count - 1, -1, reach),
                                                    source.elementAt(count - 1), width));
    }
    pathBounds = source.controlPointRect();
    const qreal m = margin();
    itemBounds = pathBounds.united(decorations.controlPointRect()).adjusted(-m, -m, m, m);
    if (source.isEmpty())
        itemBounds = QRectF();
    shapeCache = QPainterPath();
    update();
    updateCacheMode();
}

void FreehandGraphic::growBounds(const QPointF &point)
{
    const qreal left = qMin(pathBounds.left(), point.x());
    const qreal top = qMin(pathBounds.top(), point.y());
    const qreal right = qMax(pathBounds.right(), point.x());
    const qreal bottom = qMax(pathBounds.bottom(), point.y());
    const QRectF grown(QPointF(left, top), QPointF(right, bottom));
    if (grown == pathBounds)
        return;
    prepareGeometryChange();
    pathBounds = grown;
    const qreal m = margin();
    itemBounds = pathBounds.adjusted(-m, -m, m, m);
    shapeCache = QPainterPath();
}

QRectF FreehandGraphic::segmentRect(const QPointF &from, const QPointF &to) const
{
    const qreal m = margin();
    return QRectF(from, to).normalized().adjusted(-m, -m, m, m);
}

bool FreehandGraphic::coverOffscreen(const QRectF &area)
{
    const QRectF current = offscreenRect();
    if (current.contains(area))
        return true;
    // Grow with room to spare on the side the stroke left by, so that a stroke moving steadily
    // outwards reallocates only now and then.
    constexpr qreal spare = InitialPixmapSide / 2;
    const qreal left = area.left() < current.left() ? area.left() - spare : current.left();
    const qreal top = area.top() < current.top() ? area.top() - spare : current.top();
    const qreal right = area.right() > current.right() ? area.right() + spare : current.right();
    const qreal bottom
            = area.bottom() > current.bottom() ? area.bottom() + spare : current.bottom();
    const QRect grown = QRectF(QPointF(left, top), QPointF(right, bottom)).toAlignedRect();
    if (grown.width() > MaxPixmapSide || grown.height() > MaxPixmapSide)
        return false;
    QPixmap larger(grown.size());
    if (larger.isNull())
        return false;
    larger.fill(Qt::transparent);
    QPainter painter(&larger);
    painter.drawPixmap(offscreenOrigin - QPointF(grown.topLeft()), offscreen);
    painter.end();
    offscreen = larger;
    offscreenOrigin = grown.topLeft();
    return true;
}

void FreehandGraphic::drawOffscreen(const QPointF &from, const QPointF &to)
{
    if (!coverOffscreen(segmentRect(from, to))) {
        // Too large to keep in memory: from here on the item paints its path.
        offscreen = QPixmap();
        update();
        return;
    }
    QPen opaque = QAbstractGraphicsShapeItem::pen();
    QColor color = opaque.color();
    color.setAlpha(255);
    opaque.setColor(color);
    opaque.setCapStyle(Qt::RoundCap);
    opaque.setJoinStyle(Qt::RoundJoin);
    QPainter painter(&offscreen);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-offscreenOrigin);
    painter.setPen(opaque);
    painter.drawLine(from, to);
}

bool FreehandGraphic::beginCreate(const QPointF &point)
{
    QPixmap pixmap(InitialPixmapSide, InitialPixmapSide);
    if (pixmap.isNull())
        return false;
    pixmap.fill(Qt::transparent);
    setCacheMode(NoCache);
    setCreating(true);
    prepareGeometryChange();
    offscreen = pixmap;
    offscreenOrigin = point - QPointF(InitialPixmapSide / 2, InitialPixmapSide / 2);
    const QPointF dotStart(point.x() - 0.1, point.y());
    source = QPainterPath(dotStart);
    source.lineTo(point);
    decorations = QPainterPath();
    pathBounds = QRectF(dotStart, point);
    const qreal m = margin();
    itemBounds = pathBounds.adjusted(-m, -m, m, m);
    shapeCache = QPainterPath();
    lastPoint = point;
    drawOffscreen(dotStart, point);
    update();
    return true;
}

bool FreehandGraphic::updateCreate(const QPointF &point)
{
    if (!isCreating() || point == lastPoint)
        return false;
    const QPointF from = lastPoint;
    source.lineTo(point);
    lastPoint = point;
    growBounds(point);
    if (!offscreen.isNull())
        drawOffscreen(from, point);
    update(segmentRect(from, point));
    return true;
}

void FreehandGraphic::endCreate()
{
    if (!isCreating())
        return;
    offscreen = QPixmap();
    setCreating(false);
    rebuildGeometry();
    updateCacheMode();
}

void FreehandGraphic::writeXml(CanvasXmlWriter &writer) const
{
    writeCommonAttributes(writer);
    writeTransformAttributes(writer);
    CanvasXml::writePen(writer, pen());
    CanvasXml::writePath(writer, source);
}

bool FreehandGraphic::readXml(CanvasXmlReader &reader)
{
    if (!readCommonAttributes(reader) || !readTransformAttributes(reader))
        return false;
    if (!reader.readNextStartElement()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return false;
    }
    auto strokePen = CanvasXml::readPen(reader);
    if (!strokePen)
        return false;
    strokePen->setCapStyle(Qt::RoundCap);
    const auto points = CanvasXml::readPath(reader);
    if (!points)
        return false;
    setPen(*strokePen);
    setSourcePath(*points);
    rebuildTransform();
    updateCacheMode();
    return true;
}
