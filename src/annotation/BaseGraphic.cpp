#include "BaseGraphic.h"

#include "CanvasXml.h"
#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"

#include <QCursor>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QTransform>

BaseGraphic::BaseGraphic(QGraphicsItem *self, quint32 capabilities)
    : capabilityMask(capabilities)
    , item(self)
{ }

BaseGraphic::BaseGraphic(const BaseGraphic &other, QGraphicsItem *self)
    : capabilityMask(other.capabilityMask)
    , startAnchorValue(other.startAnchorValue)
    , endAnchorValue(other.endAnchorValue)
    , nameValue(other.nameValue)
    , freeAspect(other.freeAspect)
    , item(self)
    , scaleValue(other.scaleValue)
    , degreeValue(other.degreeValue)
    , flipped(other.flipped)
    , mirrored(other.mirrored)
    , creating(false)
    , attached(other.attached)
{ }

BaseGraphic::~BaseGraphic() = default;

BaseGraphic *BaseGraphic::fromItem(QGraphicsItem *item)
{
    return dynamic_cast<BaseGraphic *>(item);
}

QPen BaseGraphic::pen() const
{
    return {};
}

void BaseGraphic::setPen(const QPen &) { }

QBrush BaseGraphic::brush() const
{
    return {};
}

void BaseGraphic::setBrush(const QBrush &) { }

void BaseGraphic::setStartAnchor(int) { }

void BaseGraphic::setEndAnchor(int) { }

QFont BaseGraphic::font() const
{
    return {};
}

QColor BaseGraphic::textColor() const
{
    return {};
}

void BaseGraphic::setFontFamily(const QString &) { }

void BaseGraphic::setFontPointSize(qreal) { }

void BaseGraphic::setTextColor(const QColor &) { }

void BaseGraphic::setBold(bool) { }

void BaseGraphic::setItalic(bool) { }

void BaseGraphic::setUnderline(bool) { }

quint32 BaseGraphic::shapeType() const
{
    return 0;
}

void BaseGraphic::setShapeType(quint32) { }

void BaseGraphic::setScale(qreal scale)
{
    if (!item || !hasCapability(CapScaleX | CapScaleY))
        return;
    // Exact comparison on purpose: undo restores the very value it saved, and anything else is
    // a real change the user asked for.
    if (scale <= 0 || scale == scaleValue)
        return;
    scaleValue = scale;
    rebuildTransform();
}

void BaseGraphic::setDegree(qreal degree)
{
    if (!item || !hasCapability(CapRotate))
        return;
    if (qFuzzyCompare(degree, degreeValue))
        return;
    degreeValue = degree;
    rebuildTransform();
}

void BaseGraphic::flip()
{
    if (!item || !hasCapability(CapFlip))
        return;
    flipped = !flipped;
    rebuildTransform();
}

void BaseGraphic::mirror()
{
    if (!item || !hasCapability(CapMirror))
        return;
    mirrored = !mirrored;
    rebuildTransform();
}

void BaseGraphic::aboutToEnterScene() { }

void BaseGraphic::enteredScene() { }

void BaseGraphic::aboutToLeaveScene() { }

bool BaseGraphic::beginCreate(const QPointF &)
{
    return false;
}

bool BaseGraphic::updateCreate(const QPointF &)
{
    return false;
}

void BaseGraphic::endCreate() { }

void BaseGraphic::writeXml(CanvasXmlWriter &) const { }

bool BaseGraphic::readXml(CanvasXmlReader &)
{
    return false;
}

void BaseGraphic::writeCommonAttributes(CanvasXmlWriter &writer) const
{
    CanvasXml::writeInt(writer, "type", item->type());
    CanvasXml::writeDouble(writer, "opacity", item->opacity());
    CanvasXml::writeDouble(writer, "x", item->pos().x());
    CanvasXml::writeDouble(writer, "y", item->pos().y());
    CanvasXml::writeDouble(writer, "z", item->zValue());
}

bool BaseGraphic::readCommonAttributes(CanvasXmlReader &reader)
{
    if (reader.hasError())
        return false;
    if (reader.hasAttribute("opacity")) {
        const auto opacity = CanvasXml::readDouble(reader, "opacity");
        if (!opacity)
            return false;
        item->setOpacity(*opacity);
    }
    if (reader.hasAttribute("x") && reader.hasAttribute("y")) {
        const auto x = CanvasXml::readDouble(reader, "x");
        const auto y = CanvasXml::readDouble(reader, "y");
        if (!x || !y)
            return false;
        item->setPos(*x, *y);
    }
    if (reader.hasAttribute("z")) {
        const auto z = CanvasXml::readDouble(reader, "z");
        if (!z)
            return false;
        item->setZValue(*z);
    }
    return true;
}

void BaseGraphic::writeTransformAttributes(CanvasXmlWriter &writer) const
{
    if (hasCapability(CapAnchors)) {
        CanvasXml::writeInt(writer, "start_anchor", startAnchorValue);
        CanvasXml::writeInt(writer, "end_anchor", endAnchorValue);
    }
    CanvasXml::writeDouble(writer, "scale", scaleValue);
    CanvasXml::writeDouble(writer, "degree", degreeValue);
    CanvasXml::writeBool(writer, "flipped", flipped);
    CanvasXml::writeBool(writer, "mirrored", mirrored);
}

bool BaseGraphic::readTransformAttributes(CanvasXmlReader &reader)
{
    if (reader.hasError())
        return false;
    if (hasCapability(CapAnchors)) {
        const auto start = CanvasXml::readInt(reader, "start_anchor");
        const auto end = CanvasXml::readInt(reader, "end_anchor");
        if (!start || !end)
            return false;
        startAnchorValue = *start;
        endAnchorValue = *end;
    }
    const auto scale = CanvasXml::readDouble(reader, "scale");
    const auto degree = CanvasXml::readDouble(reader, "degree");
    if (!scale || !degree)
        return false;
    scaleValue = *scale;
    degreeValue = *degree;
    flipped = reader.attribute("flipped") == QByteArrayView("1");
    mirrored = reader.attribute("mirrored") == QByteArrayView("1");
    return true;
}

void BaseGraphic::rebuildTransform()
{
    if (!item)
        return;
    const QRectF bounds = item->boundingRect();
    const qreal cx = bounds.x() + 0.5 * bounds.width();
    const qreal cy = bounds.y() + 0.5 * bounds.height();
    qreal sx = mirrored ? -1.0 : 1.0;
    qreal sy = flipped ? -1.0 : 1.0;
    if (hasCapability(CapScaleX))
        sx *= scaleValue;
    if (hasCapability(CapScaleY))
        sy *= scaleValue;
    // Mirroring one axis reverses the visual sense of a rotation; negating the angle keeps a
    // clockwise turn clockwise on screen.
    const qreal angle = sx * sy < 0 ? -degreeValue : degreeValue;
    QTransform transform;
    transform.translate(cx, cy);
    transform.scale(sx, sy);
    transform.rotate(angle);
    transform.translate(-cx, -cy);
    item->setTransform(transform);
}

void BaseGraphic::copyCommonState(const BaseGraphic &other)
{
    const QGraphicsItem *source = other.item;
    if (!item || !source)
        return;
    item->setPos(source->pos());
    item->setZValue(source->zValue());
    item->setOpacity(source->opacity());
    item->setTransform(source->transform());
    item->setParentItem(source->parentItem());
    if (source->hasCursor())
        item->setCursor(source->cursor());
    else
        item->unsetCursor();
    item->setCacheMode(source->cacheMode());
    item->setAcceptedMouseButtons(source->acceptedMouseButtons());
    item->setAcceptHoverEvents(source->acceptHoverEvents());
    item->setAcceptDrops(source->acceptDrops());
    item->setInputMethodHints(source->inputMethodHints());
    // A focus proxy must live in the item's own scene; a fresh copy is usually in none yet.
    QGraphicsItem *proxy = source->focusProxy();
    if (proxy && proxy->scene() == item->scene())
        item->setFocusProxy(proxy);
}
