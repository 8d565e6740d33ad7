#include "ImageGraphic.h"

ImageGraphic::ImageGraphic(const QPixmap &pixmap, QGraphicsItem *parent)
    : QGraphicsPixmapItem(pixmap, parent)
    , BaseGraphic(this, Capabilities)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    setTransformationMode(Qt::SmoothTransformation);
}

ImageGraphic::ImageGraphic(const ImageGraphic &other)
    : QGraphicsPixmapItem(other.pixmap())
    , BaseGraphic(other, this)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    setTransformationMode(Qt::SmoothTransformation);
    setOffset(other.offset());
    copyCommonState(other);
}

QPointF ImageGraphic::centredAt(const QPointF &point) const
{
    return point - boundingRect().center();
}

bool ImageGraphic::beginCreate(const QPointF &point)
{
    if (pixmap().isNull())
        return false;
    setCreating(true);
    setPos(centredAt(point));
    return true;
}

bool ImageGraphic::updateCreate(const QPointF &point)
{
    if (!isCreating())
        return false;
    const QPointF target = centredAt(point);
    if (target == pos())
        return false;
    setPos(target);
    return true;
}

void ImageGraphic::endCreate()
{
    setCreating(false);
}
