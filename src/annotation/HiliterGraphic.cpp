#include "HiliterGraphic.h"

namespace {

QPen translucent(QPen pen)
{
    QColor color = pen.color();
    color.setAlpha(HiliterGraphic::PenAlpha);
    pen.setColor(color);
    return pen;
}

} // namespace

HiliterGraphic::HiliterGraphic(QGraphicsItem *parent)
    : FreehandGraphic(Capabilities, parent)
{
    setPen(FreehandGraphic::pen());
}

HiliterGraphic::HiliterGraphic(const HiliterGraphic &other)
    : FreehandGraphic(other)
{ }

QPen HiliterGraphic::pen() const
{
    return translucent(FreehandGraphic::pen());
}

void HiliterGraphic::setPen(const QPen &pen)
{
    FreehandGraphic::setPen(translucent(pen));
}
