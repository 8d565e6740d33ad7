// The presenter panel's icons: a page on the split icons' screen, half hidden the way each mask
// hides it. The grey is the masks' own, and the spotlight's ring the colour of its border, so
// that a button looks like what it lays over the picture.

#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

using namespace ArtworkKit;

const QRectF Screen(3, 9, 58, 46);
const QColor MaskGrey(127, 127, 127);
const QColor SpotRing(63, 72, 204);

/// The screen and the page of text on it; answers the screen's inside.
QRectF paintPage(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(Screen, 5, 5);
    const QRectF inside = Screen.adjusted(3, 3, -3, -3);
    p.setBrush(Paper);
    p.drawRect(inside);
    p.setPen(QPen(TextLine, 3, Qt::SolidLine, Qt::RoundCap));
    for (double y = inside.top() + 7; y < inside.bottom() - 3; y += 7)
        p.drawLine(QPointF(inside.left() + 6, y), QPointF(inside.right() - 6, y));
    return inside;
}

void paintVisor(QPainter &p, int size)
{
    const QRectF inside = paintPage(p, size);
    // The curtain slid halfway down, with a grip and an arrow saying which way it goes.
    const QRectF curtain(inside.left(), inside.center().y(), inside.width(), inside.height() / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(MaskGrey);
    p.drawRect(curtain);
    p.setPen(stroke(Paper, 3));
    const QPointF grip(curtain.center().x(), curtain.top() + 6);
    p.drawLine(grip - QPointF(7, 0), grip + QPointF(7, 0));
    p.drawLine(QPointF(grip.x(), curtain.top() + 10), QPointF(grip.x(), curtain.bottom() - 3));
    p.drawPolyline(QPolygonF({QPointF(grip.x() - 5, curtain.bottom() - 8),
                              QPointF(grip.x(), curtain.bottom() - 3),
                              QPointF(grip.x() + 5, curtain.bottom() - 8)}));
}

void paintSpotlight(QPainter &p, int size)
{
    const QRectF inside = paintPage(p, size);
    // Everything grey but a round hole on the page, ringed.
    const QPointF centre(inside.center().x() + 4, inside.center().y());
    const double radius = 13;
    QPainterPath shade;
    shade.addRect(inside);
    QPainterPath hole;
    hole.addEllipse(centre, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(MaskGrey);
    p.drawPath(shade.subtracted(hole));
    p.setPen(stroke(SpotRing, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius + 1.5, radius + 1.5);
}

} // namespace

void appendPresenterArtwork(std::vector<Artwork> &artwork)
{
    artwork.push_back({QStringLiteral("pics/presenter_visor.png"), 64, paintVisor});
    artwork.push_back({QStringLiteral("pics/presenter_spotlight.png"), 64, paintSpotlight});
}
