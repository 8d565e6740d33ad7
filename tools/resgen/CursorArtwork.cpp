// The drawing tools' mouse pointers. A pointer must read on any picture under it, so each is
// dark ink with a white rim. The pictures are 32 × 32 pixels, the size every desktop shows
// without scaling, and each puts the point that draws (the tool's hot spot) where the canvas
// code expects it: the pencil's and the marker's tips at (6, 30), the eraser's front corner at
// (9, 27).

#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

using namespace ArtworkKit;

constexpr double Side = 32.0;
const QColor Rim(Qt::white);
const QColor Wood(0xff, 0xcc, 0x80);
const QColor Marker(0xff, 0xeb, 0x3b);
const QColor Rubber(0xf4, 0x8f, 0xb1);

/// Fills `outline` with `fill`, drawn over a white rim so that it shows on dark pictures too.
void drawRimmed(QPainter &p, const QPainterPath &outline, const QColor &fill)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Rim, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(outline);
    p.setPen(QPen(Ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(outline);
}

/// Turns the painter so that the tool's axis runs along +x from its tip at `tip`.
void alongTool(QPainter &p, int size, QPointF tip, double degrees)
{
    p.scale(size / Side, size / Side);
    p.translate(tip);
    p.rotate(-degrees);
}

void paintFreehandCursor(QPainter &p, int size)
{
    alongTool(p, size, QPointF(6, 30), 45);
    QPainterPath body;
    body.addRect(QRectF(8, -4, 16, 8));
    QPainterPath cap;
    cap.addRoundedRect(QRectF(24, -4, 5, 8), 1.5, 1.5);
    QPainterPath cone;
    cone.moveTo(0, 0);
    cone.lineTo(8, -4);
    cone.lineTo(8, 4);
    cone.closeSubpath();
    drawRimmed(p, body.united(cap).united(cone), Accent);
    p.setPen(Qt::NoPen);
    p.setBrush(Wood);
    p.drawPolygon(QPolygonF(
            {QPointF(2.5, -1.2), QPointF(7.4, -3.6), QPointF(7.4, 3.6), QPointF(2.5, 1.2)}));
    p.setBrush(Ink);
    p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(2.5, -1.2), QPointF(2.5, 1.2)}));
    p.setBrush(Rubber);
    p.drawRoundedRect(QRectF(24.6, -3.4, 3.8, 6.8), 1, 1);
}

void paintHiliterCursor(QPainter &p, int size)
{
    alongTool(p, size, QPointF(6, 30), 45);
    // A broad chisel tip: the marker paints a band, not a line.
    QPainterPath tip;
    tip.moveTo(0, -3);
    tip.lineTo(6, -5);
    tip.lineTo(6, 5);
    tip.lineTo(0, 1);
    tip.closeSubpath();
    QPainterPath body;
    body.addRoundedRect(QRectF(6, -6, 22, 12), 2.5, 2.5);
    drawRimmed(p, body.united(tip), Marker);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRect(QRectF(12, -6, 3, 12));
}

void paintEraserCursor(QPainter &p, int size)
{
    alongTool(p, size, QPointF(9, 27), 30);
    QPainterPath block;
    block.addRoundedRect(QRectF(0, -12, 20, 12), 2, 2);
    drawRimmed(p, block, Rubber);
    p.setPen(QPen(Ink, 1.2));
    p.drawLine(QPointF(7, -12), QPointF(7, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(7.6, -11.4, 11.8, 10.8), 1.5, 1.5);
}

} // namespace

void appendCursorArtwork(std::vector<Artwork> &artwork)
{
    const int size = 32;
    artwork.push_back({QStringLiteral("pics/cursor_freehand.png"), size, paintFreehandCursor});
    artwork.push_back({QStringLiteral("pics/cursor_hiliter.png"), size, paintHiliterCursor});
    artwork.push_back({QStringLiteral("pics/cursor_eraser.png"), size, paintEraserCursor});
}
