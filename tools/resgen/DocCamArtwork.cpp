// The document camera panels' icons. Every icon is drawn on a 64 × 64 grid in the application
// icon's palette: dark ink strokes with one blue accent, so that a row of them reads as a set
// and each stays recognisable at 32 pixels.

#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

using namespace ArtworkKit;

/// An arrow head at `tip` pointing along `angle` degrees (0 = right, 90 = down).
void arrowHead(QPainter &p, QPointF tip, double angle, double length, const QColor &colour)
{
    const double rad = angle * M_PI / 180.0;
    const QPointF back(std::cos(rad) * length, std::sin(rad) * length);
    const QPointF side(-std::sin(rad) * length * 0.6, std::cos(rad) * length * 0.6);
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip - back + side);
    head.lineTo(tip - back - side);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

/// A magnifying glass whose lens is centred at (26, 26), for the zoom family.
void magnifier(QPainter &p)
{
    p.setPen(stroke(Ink, 7));
    p.drawLine(QPointF(40, 40), QPointF(56, 56));
    p.setPen(stroke(Ink, 5));
    p.setBrush(Paper);
    p.drawEllipse(QPointF(26, 26), 18, 18);
}

void paintFocus(QPainter &p, int size)
{
    toGrid(p, size);
    // Viewfinder corners around a target: the camera finds the sharp picture by itself.
    p.setPen(stroke(Ink, 5));
    p.setBrush(Qt::NoBrush);
    const double a = 6, b = 58, l = 14;
    p.drawPolyline(QPolygonF({QPointF(a, a + l), QPointF(a, a), QPointF(a + l, a)}));
    p.drawPolyline(QPolygonF({QPointF(b - l, a), QPointF(b, a), QPointF(b, a + l)}));
    p.drawPolyline(QPolygonF({QPointF(a, b - l), QPointF(a, b), QPointF(a + l, b)}));
    p.drawPolyline(QPolygonF({QPointF(b - l, b), QPointF(b, b), QPointF(b, b - l)}));
    p.setPen(stroke(Accent, 5));
    p.drawEllipse(QPointF(32, 32), 12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 32), 4, 4);
}

void paintZoomIn(QPainter &p, int size)
{
    toGrid(p, size);
    magnifier(p);
    p.setPen(stroke(Accent, 5));
    p.drawLine(QPointF(18, 26), QPointF(34, 26));
    p.drawLine(QPointF(26, 18), QPointF(26, 34));
}

void paintZoomOut(QPainter &p, int size)
{
    toGrid(p, size);
    magnifier(p);
    p.setPen(stroke(Accent, 5));
    p.drawLine(QPointF(18, 26), QPointF(34, 26));
}

void paintZoomReset(QPainter &p, int size)
{
    toGrid(p, size);
    magnifier(p);
    // A turning-back arrow inside the lens: back to the whole page.
    p.setPen(stroke(Accent, 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(17, 17, 18, 18), 100 * 16, 260 * 16);
    arrowHead(p, QPointF(22, 17.5), 180, 6, Accent);
}

void paintPause(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 32), 28, 28);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(21, 18, 8, 28), 2, 2);
    p.drawRoundedRect(QRectF(35, 18, 8, 28), 2, 2);
}

/// A page with text lines, the thing under a document camera.
void page(QPainter &p, const QRectF &rect)
{
    p.setPen(stroke(Ink, 3));
    p.setBrush(Paper);
    p.drawRoundedRect(rect, 2, 2);
    p.setPen(stroke(TextLine, 3));
    const double x0 = rect.left() + 5, x1 = rect.right() - 5;
    for (double y = rect.top() + 7; y < rect.bottom() - 4; y += 6)
        p.drawLine(QPointF(x0, y), QPointF(y > rect.top() + 16 ? x1 - 4 : x1, y));
}

void paintRotate(QPainter &p, int size)
{
    toGrid(p, size);
    page(p, QRectF(22, 20, 20, 26));
    // A clockwise quarter turn.
    p.setPen(stroke(Accent, 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6, 6, 52, 52), 200 * 16, -250 * 16);
    arrowHead(p, QPointF(8.5, 42), 105, 10, Accent);
}

void paintMirror(QPainter &p, int size)
{
    toGrid(p, size);
    // A shape and its reflection either side of the mirror line.
    p.setPen(QPen(Ink, 3, Qt::DashLine, Qt::FlatCap));
    p.drawLine(QPointF(32, 4), QPointF(32, 60));
    p.setPen(stroke(Ink, 3));
    p.setBrush(Ink);
    p.drawPolygon(QPolygonF({QPointF(26, 14), QPointF(26, 50), QPointF(6, 50)}));
    p.setPen(stroke(Accent, 3));
    p.setBrush(Paper);
    p.drawPolygon(QPolygonF({QPointF(38, 14), QPointF(38, 50), QPointF(58, 50)}));
}

void paintAdjust(QPainter &p, int size)
{
    toGrid(p, size);
    // Three sliders at different settings.
    const double knobs[] = {20, 42, 30};
    for (int i = 0; i < 3; ++i) {
        const double y = 14 + i * 18;
        p.setPen(stroke(Ink, 4));
        p.drawLine(QPointF(6, y), QPointF(58, y));
        p.setPen(stroke(Ink, 3));
        p.setBrush(i == 1 ? Accent : Paper);
        p.drawEllipse(QPointF(knobs[i], y), 6.5, 6.5);
    }
}

void paintBlackWhite(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    p.setBrush(Ink);
    p.drawPie(QRectF(6, 6, 52, 52), 90 * 16, 180 * 16);
    p.setPen(stroke(Ink, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 26, 26);
}

/// A landscape: a sun and two hills inside `frame`.
void landscape(QPainter &p, const QRectF &frame, const QColor &hills, const QColor &sun)
{
    p.save();
    p.setClipRect(frame);
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(frame.left() + frame.width() * 0.72, frame.top() + frame.height() * 0.3),
                  frame.width() * 0.1, frame.width() * 0.1);
    p.setBrush(hills);
    QPainterPath path;
    const double l = frame.left(), w = frame.width(), t = frame.top(), h = frame.height();
    path.moveTo(l, t + h);
    path.lineTo(l + w * 0.36, t + h * 0.38);
    path.lineTo(l + w * 0.6, t + h * 0.72);
    path.lineTo(l + w * 0.76, t + h * 0.56);
    path.lineTo(l + w, t + h * 0.9);
    path.lineTo(l + w, t + h);
    path.closeSubpath();
    p.drawPath(path);
    p.restore();
}

void paintNegative(QPainter &p, int size)
{
    toGrid(p, size);
    // A film negative: dark frame, light picture, sprocket holes along both edges.
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(4, 8, 56, 48), 4, 4);
    p.setBrush(Paper);
    for (double x = 8; x < 58; x += 10) {
        p.drawRect(QRectF(x, 11, 5, 4));
        p.drawRect(QRectF(x, 49, 5, 4));
    }
    const QRectF frame(10, 19, 44, 27);
    p.setBrush(QColor(0x37, 0x47, 0x4f));
    p.drawRect(frame);
    landscape(p, frame, Paper, QColor(0x42, 0x7f, 0xd4));
}

void paintMicroscope(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(12, 52, 40, 7), 3, 3); // foot
    p.setPen(stroke(Ink, 6));
    p.setBrush(Qt::NoBrush);
    // The arm curves from the foot up behind the tube.
    QPainterPath arm;
    arm.moveTo(40, 52);
    arm.cubicTo(54, 44, 54, 26, 40, 20);
    p.drawPath(arm);
    p.drawLine(QPointF(16, 40), QPointF(40, 40)); // stage
    // The tube, tilted, with its eyepiece and objective.
    p.save();
    p.translate(28, 22);
    p.rotate(-30);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(-5, -16, 10, 28), 2, 2);
    p.setBrush(Ink);
    p.drawRect(QRectF(-7, -20, 14, 5));
    p.drawRect(QRectF(-3, 12, 6, 6));
    p.restore();
}

/// A four-pointed sparkle.
void sparkle(QPainter &p, QPointF c, double r, const QColor &colour)
{
    QPainterPath star;
    const double k = r * 0.28;
    star.moveTo(c.x(), c.y() - r);
    star.quadTo(c.x() + k, c.y() - k, c.x() + r, c.y());
    star.quadTo(c.x() + k, c.y() + k, c.x(), c.y() + r);
    star.quadTo(c.x() - k, c.y() + k, c.x() - r, c.y());
    star.quadTo(c.x() - k, c.y() - k, c.x(), c.y() - r);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(star);
}

void paintEnhance(QPainter &p, int size)
{
    toGrid(p, size);
    sparkle(p, QPointF(26, 36), 22, Accent);
    sparkle(p, QPointF(50, 14), 10, Light);
    sparkle(p, QPointF(52, 50), 7, AccentDark);
}

void paintInfinity(QPainter &p, int size)
{
    toGrid(p, size);
    QPainterPath path;
    path.moveTo(32, 32);
    path.cubicTo(40, 18, 58, 18, 58, 32);
    path.cubicTo(58, 46, 40, 46, 32, 32);
    path.cubicTo(24, 18, 6, 18, 6, 32);
    path.cubicTo(6, 46, 24, 46, 32, 32);
    p.setPen(stroke(Accent, 7));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void paintWideAngle(QPainter &p, int size)
{
    toGrid(p, size);
    // A wide field of view opening from the lens.
    QPainterPath view;
    view.moveTo(32, 50);
    view.lineTo(4, 18);
    view.quadTo(32, 6, 60, 18);
    view.closeSubpath();
    QColor fill = Accent;
    fill.setAlpha(70);
    p.setPen(stroke(Accent, 4));
    p.setBrush(fill);
    p.drawPath(view);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(22, 48, 20, 12), 3, 3);
    p.setPen(stroke(Ink, 4));
    p.drawLine(QPointF(10, 34), QPointF(4, 40));
    arrowHead(p, QPointF(3, 41), 135, 7, Ink);
    p.setPen(stroke(Ink, 4));
    p.drawLine(QPointF(54, 34), QPointF(60, 40));
    arrowHead(p, QPointF(61, 41), 45, 7, Ink);
}

void paintMacro(QPainter &p, int size)
{
    toGrid(p, size);
    // The flower every camera uses for close-up.
    p.setPen(stroke(Leaf, 4));
    p.drawLine(QPointF(32, 34), QPointF(32, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(Leaf);
    QPainterPath leaf;
    leaf.moveTo(32, 52);
    leaf.quadTo(16, 52, 12, 40);
    leaf.quadTo(28, 40, 32, 52);
    p.drawPath(leaf);
    p.setBrush(Red);
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(32, 22);
        p.rotate(i * 72);
        p.drawEllipse(QPointF(0, -10), 7, 10);
        p.restore();
    }
    p.setBrush(Light);
    p.drawEllipse(QPointF(32, 22), 6, 6);
}

void paintAutoImage(QPainter &p, int size)
{
    toGrid(p, size);
    // A picture that sets itself, marked with a sparkle.
    const QRectF frame(4, 14, 46, 40);
    p.setPen(stroke(Ink, 4));
    p.setBrush(Paper);
    p.drawRoundedRect(frame, 3, 3);
    landscape(p, frame.adjusted(2, 2, -2, -2), Accent, Light);
    p.setPen(stroke(Ink, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame, 3, 3);
    sparkle(p, QPointF(50, 14), 12, AccentDark);
}

void paintFocusFar(QPainter &p, int size)
{
    toGrid(p, size);
    // Distant mountains: focus further away.
    const QRectF frame(4, 16, 56, 40);
    landscape(p, frame, Ink, Light);
    p.setPen(stroke(Accent, 4));
    p.drawLine(QPointF(14, 14), QPointF(14, 4));
    arrowHead(p, QPointF(14, 1), -90, 7, Accent);
}

void paintFocusNear(QPainter &p, int size)
{
    toGrid(p, size);
    // The page right under the lens: focus closer.
    page(p, QRectF(14, 20, 36, 40));
    p.setPen(stroke(Accent, 4));
    p.drawLine(QPointF(32, 2), QPointF(32, 12));
    arrowHead(p, QPointF(32, 16), 90, 7, Accent);
}

} // namespace

void appendDocCamArtwork(std::vector<Artwork> &artwork)
{
    // Drawn at twice the button's icon size so that scaled and high-density screens stay sharp.
    const int size = 64;
    const auto add = [&artwork](const char *name, auto paint) {
        artwork.push_back({QStringLiteral("pics/docCam/") + QLatin1String(name), size, paint});
    };
    add("focus.png", paintFocus);
    add("Zoom_In.png", paintZoomIn);
    add("Zoom_Out.png", paintZoomOut);
    add("zoom_reset.png", paintZoomReset);
    add("pauseDoccam.png", paintPause);
    add("rotate.png", paintRotate);
    add("flip.png", paintMirror);
    add("adjust_image.png", paintAdjust);
    add("bw.png", paintBlackWhite);
    add("negative.png", paintNegative);
    add("microscope.png", paintMicroscope);
    add("enhance.png", paintEnhance);
    add("infinity.png", paintInfinity);
    add("wideangle.png", paintWideAngle);
    add("macro.png", paintMacro);
    add("autoimage.png", paintAutoImage);
    add("focus_far.png", paintFocusFar);
    add("focus_near.png", paintFocusNear);
}
