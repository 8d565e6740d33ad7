#include "GraphicFactory.h"

#include "FreehandGraphic.h"
#include "HiliterGraphic.h"
#include "ImageGraphic.h"
#include "LineGraphic.h"
#include "ShapeGraphic.h"
#include "TextGraphic.h"

#include <new>

namespace {

template<typename Graphic> std::unique_ptr<BaseGraphic> copyOf(const BaseGraphic &source)
{
    const auto *graphic = dynamic_cast<const Graphic *>(&source);
    if (!graphic)
        return nullptr;
    return std::unique_ptr<BaseGraphic>(new (std::nothrow) Graphic(*graphic));
}

} // namespace

std::unique_ptr<BaseGraphic> GraphicFactory::createSaveable(int type)
{
    switch (type) {
    case QGraphicsLineItem::Type:
        return std::unique_ptr<BaseGraphic>(new (std::nothrow) LineGraphic);
    case ShapeGraphic::Type:
        return std::unique_ptr<BaseGraphic>(new (std::nothrow) ShapeGraphic);
    case FreehandGraphic::Type:
        return std::unique_ptr<BaseGraphic>(new (std::nothrow) FreehandGraphic);
    case HiliterGraphic::Type:
        return std::unique_ptr<BaseGraphic>(new (std::nothrow) HiliterGraphic);
    default:
        return nullptr;
    }
}

std::unique_ptr<BaseGraphic> GraphicFactory::clone(const BaseGraphic &source)
{
    const QGraphicsItem *item = source.graphicsItem();
    if (!item)
        return nullptr;
    // By type, not by cast alone: a highlighter is also a freehand stroke.
    switch (item->type()) {
    case QGraphicsLineItem::Type:
        return copyOf<LineGraphic>(source);
    case QGraphicsPixmapItem::Type:
        return copyOf<ImageGraphic>(source);
    case ShapeGraphic::Type:
        return copyOf<ShapeGraphic>(source);
    case FreehandGraphic::Type:
        return copyOf<FreehandGraphic>(source);
    case TextGraphic::Type:
        return copyOf<TextGraphic>(source);
    case HiliterGraphic::Type:
        return copyOf<HiliterGraphic>(source);
    default:
        return nullptr;
    }
}
