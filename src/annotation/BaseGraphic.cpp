#include "BaseGraphic.h"

#include "CanvasXml.h"

#include <QCursor>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QTransform>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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

void BaseGraphic::writeXml(QXmlStreamWriter &) const { }

bool BaseGraphic::readXml(QXmlStreamReader &)
{
    return false;
}

void BaseGraphic::writeCommonAttributes(QXmlStreamWriter &writer) const
{
    writer.writeAttribute(QStringLiteral("type"), QString::number(item->type()));
    CanvasXml::writeDouble(writer, QStringLiteral("opacity"), item->opacity());
    CanvasXml::writeDouble(writer, QStringLiteral("x"), item->pos().x());
    CanvasXml::writeDouble(writer, QStringLiteral("y"), item->pos().y());
    CanvasXml::writeDouble(writer, QStringLiteral("z"), item->zValue());
}

bool BaseGraphic::readCommonAttributes(QXmlStreamReader &reader)
{
    if (reader.hasError())
        return false;
    const QXmlStreamAttributes attributes = reader.attributes();
    if (attributes.hasAttribute(QStringLiteral("opacity"))) {
        const auto opacity = CanvasXml::readDouble(reader, u"opacity");
        if (!opacity)
            return false;
        item->setOpacity(*opacity);
    }
    if (attributes.hasAttribute(QStringLiteral("x"))
        && attributes.hasAttribute(QStringLiteral("y"))) {
        const auto x = CanvasXml::readDouble(reader, u"x");
        const auto y = CanvasXml::readDouble(reader, u"y");
        if (!x || !y)
            return false;
        item->setPos(*x, *y);
    }
    if (attributes.hasAttribute(QStringLiteral("z"))) {
        const auto z = CanvasXml::readDouble(reader, u"z");
        if (!z)
            return false;
        item->setZValue(*z);
    }
    return true;
}

void BaseGraphic::writeTransformAttributes(QXmlStreamWriter &writer) const
{
    if (hasCapability(CapAnchors)) {
        writer.writeAttribute(QStringLiteral("start_anchor"), QString::number(startAnchorValue));
        writer.writeAttribute(QStringLiteral("end_anchor"), QString::number(endAnchorValue));
    }
    CanvasXml::writeDouble(writer, QStringLiteral("scale"), scaleValue);
    CanvasXml::writeDouble(writer, QStringLiteral("degree"), degreeValue);
    CanvasXml::writeBool(writer, QStringLiteral("flipped"), flipped);
    CanvasXml::writeBool(writer, QStringLiteral("mirrored"), mirrored);
}

bool BaseGraphic::readTransformAttributes(QXmlStreamReader &reader)
{
    if (reader.hasError())
        return false;
    if (hasCapability(CapAnchors)) {
        const auto start = CanvasXml::readInt(reader, u"start_anchor");
        const auto end = CanvasXml::readInt(reader, u"end_anchor");
        if (!start || !end)
            return false;
        startAnchorValue = *start;
        endAnchorValue = *end;
    }
    const auto scale = CanvasXml::readDouble(reader, u"scale");
    const auto degree = CanvasXml::readDouble(reader, u"degree");
    if (!scale || !degree)
        return false;
    scaleValue = *scale;
    degreeValue = *degree;
    const QXmlStreamAttributes attributes = reader.attributes();
    flipped = attributes.value(QStringLiteral("flipped")) == u"1";
    mirrored = attributes.value(QStringLiteral("mirrored")) == u"1";
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
