// The annotation panels' icons. They sit on the light sub-panel ground, so like the document
// camera family they are drawn in dark ink with the blue accent on the shared 64 × 64 grid. The
// colour wheel is drawn from the same polygons the widget hit-tests, and the bold, italic and
// underline buttons have a second, "pressed" picture: the letter in paper on an accent tile.

#include "Artwork.h"
#include "ColorWheelGeometry.h"

#include <QConicalGradient>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace {

using namespace ArtworkKit;

const QColor Rubber(0xf4, 0x8f, 0xb1);
const QColor Border(0xcf, 0xd8, 0xdc);

/// A pencil lying at 45 degrees with its tip at `tip`.
void pencil(QPainter &p, const QPointF &tip)
{
    p.save();
    p.translate(tip);
    p.rotate(45);
    p.setPen(stroke(Ink, 2.5));
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(-6, -46, 12, 34), 2, 2);
    QPainterPath point;
    point.moveTo(-6, -12);
    point.lineTo(6, -12);
    point.lineTo(0, 0);
    point.closeSubpath();
    p.setBrush(Light);
    p.drawPath(point);
    p.restore();
}

void paintFreehand(QPainter &p, int size)
{
    toGrid(p, size);
    QPainterPath scribble;
    scribble.moveTo(6, 52);
    scribble.cubicTo(14, 38, 22, 62, 30, 50);
    scribble.cubicTo(34, 44, 38, 48, 40, 46);
    p.setPen(stroke(Ink, 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(scribble);
    pencil(p, QPointF(40, 46));
}

void paintLine(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Ink, 5));
    p.drawLine(QPointF(12, 52), QPointF(52, 12));
    p.setPen(stroke(Ink, 2.5));
    p.setBrush(Accent);
    p.drawEllipse(QPointF(12, 52), 5, 5);
    p.drawEllipse(QPointF(52, 12), 5, 5);
}

void circle(QPainter &p, const QPointF &centre, double r)
{
    p.drawEllipse(centre, r, r);
}

QPainterPath triangle(const QPointF &top, double side)
{
    const double h = side * std::sqrt(3.0) / 2;
    QPainterPath path;
    path.moveTo(top);
    path.lineTo(top + QPointF(side / 2, h));
    path.lineTo(top + QPointF(-side / 2, h));
    path.closeSubpath();
    return path;
}

void paintShapes(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Ink, 3.5));
    QColor fill = Accent;
    fill.setAlpha(110);
    p.setBrush(fill);
    p.drawRect(QRectF(30, 30, 26, 26));
    p.setBrush(Qt::NoBrush);
    circle(p, QPointF(22, 24), 15);
    p.drawPath(triangle(QPointF(44, 6), 24));
}

void paintText(QPainter &p, int size)
{
    toGrid(p, size);
    // A capital T set on a line, with the text cursor after it.
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRect(QRectF(10, 10, 34, 8));
    p.drawRect(QRectF(23, 10, 8, 40));
    p.setPen(stroke(Accent, 4));
    p.drawLine(QPointF(52, 14), QPointF(52, 50));
    p.drawLine(QPointF(47, 14), QPointF(57, 14));
    p.drawLine(QPointF(47, 50), QPointF(57, 50));
    p.setPen(stroke(TextLine, 3));
    p.drawLine(QPointF(8, 57), QPointF(56, 57));
}

/// A curved arrow over the top of the icon, pointing left; mirrored for redo.
void paintTurnArrow(QPainter &p, int size, bool mirrored)
{
    toGrid(p, size);
    if (mirrored) {
        p.translate(Grid, 0);
        p.scale(-1, 1);
    }
    QPainterPath arc;
    arc.moveTo(16, 28);
    arc.cubicTo(26, 12, 50, 14, 52, 34);
    arc.cubicTo(53, 44, 46, 50, 36, 52);
    p.setPen(stroke(Ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    QPainterPath head;
    head.moveTo(6, 18);
    head.lineTo(24, 36);
    head.lineTo(6, 38);
    head.closeSubpath();
    p.setPen(stroke(Accent, 3));
    p.setBrush(Accent);
    p.drawPath(head);
}

void paintUndo(QPainter &p, int size)
{
    paintTurnArrow(p, size, false);
}

void paintRedo(QPainter &p, int size)
{
    paintTurnArrow(p, size, true);
}

void paintEraser(QPainter &p, int size)
{
    toGrid(p, size);
    // A rubber taking a stroke off the page: what Delete does to the chosen drawings.
    p.setPen(stroke(TextLine, 4));
    p.drawLine(QPointF(6, 56), QPointF(30, 56));
    p.save();
    p.translate(34, 30);
    p.rotate(-40);
    p.setPen(stroke(Ink, 2.5));
    p.setBrush(Rubber);
    p.drawRoundedRect(QRectF(-20, -10, 24, 20), 3, 3);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(4, -10, 18, 20), 3, 3);
    p.restore();
}

void paintDeleteAll(QPainter &p, int size)
{
    toGrid(p, size);
    // A waste bin: everything goes.
    p.setPen(stroke(Ink, 4));
    p.setBrush(Paper);
    QPainterPath bin;
    bin.moveTo(14, 18);
    bin.lineTo(50, 18);
    bin.lineTo(46, 58);
    bin.lineTo(18, 58);
    bin.closeSubpath();
    p.drawPath(bin);
    p.drawLine(QPointF(8, 16), QPointF(56, 16));
    p.drawLine(QPointF(26, 16), QPointF(28, 8));
    p.drawLine(QPointF(28, 8), QPointF(36, 8));
    p.drawLine(QPointF(36, 8), QPointF(38, 16));
    p.setPen(stroke(Red, 3.5));
    for (double x : {25.0, 32.0, 39.0})
        p.drawLine(QPointF(x, 26), QPointF(x, 50));
}

void paintBackArrow(QPainter &p, int size)
{
    toGrid(p, size);
    // The tail joining the settings card to its tool's button: the card's white with its border
    // along the two slanted sides only, so that it runs into the card below.
    QPainterPath tail;
    tail.moveTo(0, Grid);
    tail.lineTo(Grid / 2, 2);
    tail.lineTo(Grid, Grid);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(tail);
    p.setPen(stroke(Border, 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tail);
}

void paintColorWheel(QPainter &p, int size)
{
    p.scale(size, size);
    p.setPen(QPen(Qt::white, 0.025, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int i = 0; i < ColorWheelGeometry::SegmentCount; ++i) {
        p.setBrush(ColorWheelGeometry::Colours[i]);
        p.drawPolygon(ColorWheelGeometry::segment(i));
    }
    // Every other colour in the middle: a rainbow with a plus.
    QConicalGradient rainbow(QPointF(0.5, 0.5), 90);
    const QColor hues[] = {Qt::red, Qt::magenta, Qt::blue, Qt::cyan, Qt::green, Qt::yellow};
    for (int i = 0; i < 6; ++i)
        rainbow.setColorAt(i / 6.0, hues[i]);
    rainbow.setColorAt(1.0, Qt::red);
    p.setBrush(rainbow);
    p.drawPolygon(ColorWheelGeometry::moreColours());
    p.setPen(QPen(Qt::white, 0.05, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0.5, 0.42), QPointF(0.5, 0.58));
    p.drawLine(QPointF(0.42, 0.5), QPointF(0.58, 0.5));
}

/// A text style letter; pressed, it stands in paper on an accent tile.
void paintStyleLetter(QPainter &p, int size, const QString &letter, bool italic, bool underline,
                      bool pressed)
{
    toGrid(p, size);
    const QColor ink = pressed ? Paper : Ink;
    if (pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    }
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(44);
    font.setBold(!italic && !underline);
    font.setItalic(italic);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QRectF(0, 0, Grid, underline ? 52 : Grid), Qt::AlignCenter, letter);
    if (underline) {
        p.setPen(stroke(ink, 4));
        p.drawLine(QPointF(18, 54), QPointF(46, 54));
    }
}

/// The box the shape buttons draw their kind in: wider than high, so that the rectangle and the
/// ellipse read as such and not as a square and a circle.
const QRectF ShapeBox(8, 12, 48, 40);

/// `unit`, a polygon in the unit square, fitted to ShapeBox the way a shape item fits its kind's
/// outline to the dragged rectangle.
QPainterPath polygonInBox(const QPolygonF &unit)
{
    QPolygonF placed;
    for (const QPointF &corner : unit)
        placed << QPointF(ShapeBox.x() + corner.x() * ShapeBox.width(),
                          ShapeBox.y() + corner.y() * ShapeBox.height());
    QPainterPath path;
    path.addPolygon(placed);
    path.closeSubpath();
    return path;
}

void paintShapeOutline(QPainter &p, int size, const QPainterPath &outline)
{
    toGrid(p, size);
    p.setPen(stroke(Ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

} // namespace

void appendAnnotationArtwork(std::vector<Artwork> &artwork)
{
    // Twice the size the panels show them at, for scaled and high-density screens; the wheel
    // larger still, since it is shown bigger than a button.
    const int size = 64;
    const auto add = [&artwork](const char *name, auto paint, int side = 64) {
        artwork.push_back({QStringLiteral("pics/") + QLatin1String(name), side, paint});
    };
    add("freehand.png", paintFreehand);
    add("Line_Normal.png", paintLine);
    add("shapes.png", paintShapes);
    add("textBtn.png", paintText);
    add("undoBtn.png", paintUndo);
    add("redoBtn.png", paintRedo);
    add("eraser.png", paintEraser);
    add("delete.png", paintDeleteAll);
    add("backArrow.png", paintBackArrow, 32);
    add("color.png", paintColorWheel, 128);
    // The shape tool's kinds 0 to 3, in the geometry of the shape items.
    add("shape_rectangle.png", [](QPainter &p, int side) {
        QPainterPath rectangle;
        rectangle.addRect(ShapeBox);
        paintShapeOutline(p, side, rectangle);
    });
    add("shape_ellipse.png", [](QPainter &p, int side) {
        QPainterPath ellipse;
        ellipse.addEllipse(ShapeBox);
        paintShapeOutline(p, side, ellipse);
    });
    add("shape_triangle.png", [](QPainter &p, int side) {
        paintShapeOutline(p, side, polygonInBox({{0.5, 0.0}, {1.0, 1.0}, {0.0, 1.0}}));
    });
    add("shape_right_triangle.png", [](QPainter &p, int side) {
        paintShapeOutline(p, side, polygonInBox({{0.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}}));
    });

    const struct
    {
        const char *name;
        const char *letter;
        bool italic;
        bool underline;
    } styles[] = {{"bold", "B", false, false},
                  {"italic", "I", true, false},
                  {"underline", "U", false, true}};
    for (const auto &style : styles) {
        for (bool pressed : {false, true}) {
            const QString name = QLatin1String(style.name)
                    + (pressed ? QStringLiteral("-pressed.png") : QStringLiteral(".png"));
            const QString letter = QLatin1String(style.letter);
            artwork.push_back({QStringLiteral("pics/") + name, size, [=](QPainter &p, int side) {
                                   paintStyleLetter(p, side, letter, style.italic, style.underline,
                                                    pressed);
                               }});
        }
    }
}
