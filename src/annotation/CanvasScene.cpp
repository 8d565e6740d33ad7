#include "CanvasScene.h"

#include "BaseGraphic.h"
#include "CanvasXml.h"
#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"
#include "GraphicFactory.h"

#include <QGraphicsItem>

#include <utility>

namespace {

BaseGraphic *saveable(QGraphicsItem *item)
{
    BaseGraphic *graphic = BaseGraphic::fromItem(item);
    return graphic && graphic->hasCapability(BaseGraphic::CapSave) ? graphic : nullptr;
}

} // namespace

CanvasScene::CanvasScene(QObject *parent)
    : QGraphicsScene(parent)
{
    setSceneRect(0, 0, 1024, 768);
    setBackgroundBrush(Qt::white);
}

void CanvasScene::setZRange(qreal zMin, qreal zMax)
{
    zBottom = zMin;
    zTop = zMax;
}

qreal CanvasScene::nextTopZ()
{
    const qreal z = zTop;
    zTop += 1.0;
    return z;
}

qreal CanvasScene::nextBottomZ()
{
    const qreal z = zBottom;
    zBottom -= 1.0;
    return z;
}

int CanvasScene::saveableItemCount() const
{
    int count = 0;
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        if (saveable(item))
            ++count;
    }
    return count;
}

void CanvasScene::renderUncached(QPainter *painter, const QRectF &target, const QRectF &source,
                                 Qt::AspectRatioMode aspectRatioMode)
{
    QList<std::pair<QGraphicsItem *, QGraphicsItem::CacheMode>> cached;
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        if (item->cacheMode() != QGraphicsItem::NoCache) {
            cached.append({item, item->cacheMode()});
            item->setCacheMode(QGraphicsItem::NoCache);
        }
    }
    render(painter, target, source, aspectRatioMode);
    for (const auto &[item, mode] : std::as_const(cached))
        item->setCacheMode(mode);
}

void CanvasScene::writeXml(CanvasXmlWriter &writer) const
{
    writer.writeStartElement("canvas");
    CanvasXml::writeDouble(writer, "zMin", zBottom);
    CanvasXml::writeDouble(writer, "zMax", zTop);
    CanvasXml::writeInt(writer, "item_count", saveableItemCount());
    CanvasXml::writeBrush(writer, backgroundBrush(), "background_brush");
    CanvasXml::writeRect(writer, sceneRect(), "scene_rect");
    const QList<QGraphicsItem *> all = items(Qt::DescendingOrder);
    for (QGraphicsItem *item : all) {
        if (const BaseGraphic *graphic = saveable(item)) {
            writer.writeStartElement("graphic");
            graphic->writeXml(writer);
            writer.writeEndElement();
        }
    }
    writer.writeEndElement();
}

bool CanvasScene::readXml(CanvasXmlReader &reader)
{
    if (!CanvasXml::enterElement(reader, "canvas"))
        return false;
    const auto zMin = CanvasXml::readDouble(reader, "zMin");
    const auto zMax = CanvasXml::readDouble(reader, "zMax");
    const auto itemCount = CanvasXml::readInt(reader, "item_count");
    if (!zMin || !zMax || !itemCount)
        return false;
    setZRange(*zMin, *zMax);

    if (!reader.readNextStartElement()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return false;
    }
    if (reader.name() == "background_brush") {
        const auto background = CanvasXml::readBrush(reader, "background_brush");
        if (!background)
            return false;
        setBackgroundBrush(*background);
    }
    const auto rect = CanvasXml::readRect(reader, "scene_rect");
    if (!rect)
        return false;
    setSceneRect(*rect);

    // The count only bounds the loop; every item must really be in the file.
    for (int i = 0; i < *itemCount; ++i) {
        if (!reader.readNextStartElement() || reader.name() != "graphic") {
            CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
            return false;
        }
        const auto type = CanvasXml::readInt(reader, "type");
        if (!type)
            return false;
        std::unique_ptr<BaseGraphic> graphic = GraphicFactory::createSaveable(*type);
        if (!graphic) {
            CanvasXml::raise(reader, CanvasXml::insufficientMemoryMessage());
            return false;
        }
        if (!graphic->readXml(reader))
            return false;
        addItem(graphic.release()->graphicsItem());
        if (!CanvasXml::leaveElement(reader))
            return false;
    }
    return true;
}
