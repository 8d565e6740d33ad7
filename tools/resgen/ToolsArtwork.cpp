// The tool strip's icons. The strip is dark and sits over the live picture, so unlike the other
// families these are drawn in light strokes with the same blue accent, on the shared 64 × 64
// grid, and only a few pixels of detail each: the strip shows them at 28 pixels.

#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

using namespace ArtworkKit;

const QColor Rubber(0xf4, 0x8f, 0xb1);

void paintAnnotation(QPainter &p, int size)
{
    toGrid(p, size);
    // A stroke of ink under the pen that drew it.
    QPainterPath line;
    line.moveTo(6, 54);
    line.cubicTo(14, 44, 20, 62, 28, 54);
    p.setPen(stroke(Accent, 5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);

    p.save();
    p.translate(40, 26);
    p.rotate(45);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(-6, -24, 12, 34), 2, 2);
    p.setBrush(Accent);
    p.drawRect(QRectF(-6, -18, 12, 4));
    QPainterPath tip;
    tip.moveTo(-6, 12);
    tip.lineTo(6, 12);
    tip.lineTo(0, 24);
    tip.closeSubpath();
    p.setBrush(Light);
    p.drawPath(tip);
    p.restore();
}

void paintDocCamera(QPainter &p, int size)
{
    toGrid(p, size);
    // The camera on its arm, looking down at a page: the application icon in outline.
    QPainterPath beam;
    beam.moveTo(38, 26);
    beam.lineTo(28, 48);
    beam.lineTo(56, 48);
    beam.lineTo(46, 26);
    beam.closeSubpath();
    QColor beamColour = Light;
    beamColour.setAlpha(150);
    p.setPen(Qt::NoPen);
    p.setBrush(beamColour);
    p.drawPath(beam);
    p.setBrush(Accent);
    p.drawRect(QRectF(26, 46, 32, 6));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(4, 52, 56, 7), 3, 3);
    p.setPen(stroke(Paper, 6));
    p.drawLine(QPointF(12, 54), QPointF(16, 12));
    p.drawLine(QPointF(16, 12), QPointF(38, 16));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(32, 12, 18, 14), 4, 4);
}

void paintCapture(QPainter &p, int size)
{
    toGrid(p, size);
    // A still camera: body, viewfinder hump, lens.
    QPainterPath body;
    body.addRoundedRect(QRectF(4, 18, 56, 38), 7, 7);
    body.addRoundedRect(QRectF(20, 10, 24, 12), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawPath(body.simplified());
    p.setBrush(Ink);
    p.drawEllipse(QPointF(32, 37), 14, 14);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 37), 10, 10);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(28, 33), 3, 3);
    p.setBrush(Light);
    p.drawEllipse(QPointF(51, 26), 3, 3);
}

void paintSplit(QPainter &p, int size)
{
    toGrid(p, size);
    // A screen shared by two pictures, in the split panel's document camera and webcam colours.
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(3, 10, 58, 44), 5, 5);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(7, 14, 24, 36), 2, 2);
    p.setBrush(Leaf);
    p.drawRoundedRect(QRectF(33, 14, 24, 36), 2, 2);
}

void paintPresenter(QPainter &p, int size)
{
    toGrid(p, size);
    // Someone pointing at a board.
    p.setPen(stroke(Paper, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(26, 6, 34, 26), 2, 2);
    p.setPen(stroke(Accent, 4));
    p.drawLine(QPointF(32, 24), QPointF(40, 16));
    p.drawLine(QPointF(40, 16), QPointF(46, 21));
    p.drawLine(QPointF(46, 21), QPointF(54, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(16, 22), 7, 7);
    QPainterPath shoulders;
    shoulders.moveTo(4, 60);
    shoulders.cubicTo(4, 34, 28, 34, 28, 60);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
    p.setPen(stroke(Paper, 4));
    p.drawLine(QPointF(24, 42), QPointF(34, 32));
}

void paintWidgetMode(QPainter &p, int size)
{
    toGrid(p, size);
    // The whole window folding into a small bar that floats over the desktop.
    p.setPen(QPen(Paper, 3, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4, 6, 44, 34), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(24, 34, 36, 24), 3, 3);
    p.setBrush(Accent);
    p.drawRect(QRectF(24, 34, 36, 7));
    p.setBrush(Ink);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(32 + i * 10, 49), 3, 3);
}

void paintGradeCam(QPainter &p, int size)
{
    toGrid(p, size);
    // An answer sheet with its bubbles, marked as checked.
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(8, 4, 40, 56), 3, 3);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QPointF centre(18 + column * 10, 14 + row * 11);
            p.setBrush((row + column) % 3 == 0 ? QBrush(Ink) : QBrush(Qt::NoBrush));
            p.setPen(QPen(Ink, 2));
            p.drawEllipse(centre, 3.5, 3.5);
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Leaf);
    p.drawEllipse(QPointF(46, 46), 15, 15);
    p.setPen(stroke(Paper, 5));
    p.drawPolyline(QPolygonF({QPointF(39, 46), QPointF(44, 52), QPointF(54, 40)}));
}

void paintHome(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    QPainterPath house;
    house.moveTo(32, 6);
    house.lineTo(60, 32);
    house.lineTo(52, 32);
    house.lineTo(52, 58);
    house.lineTo(12, 58);
    house.lineTo(12, 32);
    house.lineTo(4, 32);
    house.closeSubpath();
    p.drawPath(house);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(26, 38, 12, 20), 2, 2);
}

void paintRecord(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Paper, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    p.setPen(Qt::NoPen);
    p.setBrush(Red);
    p.drawEllipse(QPointF(32, 32), 16, 16);
}

void paintRecordStop(QPainter &p, int size)
{
    toGrid(p, size);
    // The same ring, now holding the square that stops it.
    p.setPen(stroke(Paper, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    p.setPen(Qt::NoPen);
    p.setBrush(Red);
    p.drawRoundedRect(QRectF(20, 20, 24, 24), 4, 4);
}

void paintClearAll(QPainter &p, int size)
{
    toGrid(p, size);
    // An eraser leaving a clean stroke behind it.
    p.setPen(stroke(Accent, 4));
    p.drawLine(QPointF(6, 58), QPointF(58, 58));
    p.save();
    p.translate(34, 30);
    p.rotate(-40);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(-10, -22, 20, 44), 4, 4);
    p.setBrush(Rubber);
    p.drawRoundedRect(QRectF(-10, 6, 20, 16), 4, 4);
    p.restore();
}

void paintClose(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Paper, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    p.setPen(stroke(Paper, 6));
    p.drawLine(QPointF(22, 22), QPointF(42, 42));
    p.drawLine(QPointF(42, 22), QPointF(22, 42));
}

} // namespace

void appendToolsArtwork(std::vector<Artwork> &artwork)
{
    // Twice the size the strip shows them at, for scaled and high-density screens.
    const int size = 64;
    const auto add = [&artwork](const char *name, auto paint) {
        artwork.push_back({QStringLiteral("pics/") + QLatin1String(name), size, paint});
    };
    add("tools_annotation.png", paintAnnotation);
    add("tools_docCamera.png", paintDocCamera);
    add("tools_capture.png", paintCapture);
    add("tools_split.png", paintSplit);
    add("tools_presenter.png", paintPresenter);
    add("tools_widgetMode.png", paintWidgetMode);
    add("tools_gradeCam.png", paintGradeCam);
    add("tools_home.png", paintHome);
    add("tools_record.png", paintRecord);
    add("tools_recordStop.png", paintRecordStop);
    add("tools_clearAll.png", paintClearAll);
    add("tools_close.png", paintClose);
}
