// The capture sub-panel's icons. The panel is light, so like the document camera family these are
// drawn in dark ink with the blue accent on the shared 64 × 64 grid. The two snapshot icons frame
// what they save in the same viewfinder corners, and the time lapse's start and stop marks keep a
// light edge so that they still read on the button's red checked background.

#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

using namespace ArtworkKit;

/// Four viewfinder brackets in the corners of the icon: "a picture of what is inside".
void viewfinder(QPainter &p)
{
    const double a = 4, b = 60, l = 12;
    p.setPen(stroke(Accent, 5));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(a, a + l), QPointF(a, a), QPointF(a + l, a)}));
    p.drawPolyline(QPolygonF({QPointF(b - l, a), QPointF(b, a), QPointF(b, a + l)}));
    p.drawPolyline(QPolygonF({QPointF(a, b - l), QPointF(a, b), QPointF(a + l, b)}));
    p.drawPolyline(QPolygonF({QPointF(b - l, b), QPointF(b, b), QPointF(b, b - l)}));
}

void paintDocCam(QPainter &p, int size)
{
    toGrid(p, size);
    viewfinder(p);
    // The camera on its arm over a page, as in the application icon, in ink.
    QPainterPath beam;
    beam.moveTo(35, 27);
    beam.lineTo(28, 44);
    beam.lineTo(50, 44);
    beam.lineTo(43, 27);
    beam.closeSubpath();
    QColor beamColour = Light;
    beamColour.setAlpha(170);
    p.setPen(Qt::NoPen);
    p.setBrush(beamColour);
    p.drawPath(beam);
    p.setPen(stroke(Ink, 2.5));
    p.setBrush(Paper);
    p.drawRect(QRectF(26, 43, 26, 5));
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(12, 48, 42, 6), 3, 3);
    p.setPen(stroke(Ink, 5));
    p.drawLine(QPointF(19, 50), QPointF(22, 16));
    p.drawLine(QPointF(22, 16), QPointF(36, 19));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(31, 15, 16, 12), 3, 3);
    p.setBrush(Light);
    p.drawEllipse(QPointF(39, 26), 4, 2.5);
}

void paintDesktop(QPainter &p, int size)
{
    toGrid(p, size);
    viewfinder(p);
    // A monitor on its stand, a window open on its screen.
    const QRectF screen(13, 15, 38, 26);
    p.setPen(stroke(Ink, 4));
    p.setBrush(Paper);
    p.drawRoundedRect(screen, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(TextLine);
    p.drawRect(QRectF(19, 21, 18, 13));
    p.setBrush(Ink);
    p.drawRect(QRectF(19, 21, 18, 3.5));
    p.setPen(stroke(Ink, 4));
    p.drawLine(QPointF(32, 43), QPointF(32, 48));
    p.drawLine(QPointF(23, 49), QPointF(41, 49));
}

void paintTimeLapse(QPainter &p, int size)
{
    toGrid(p, size);
    // A stopwatch with part of its round already gone by.
    const QPointF centre(32, 36);
    const double r = 22;
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(26, 4, 12, 6), 2, 2); // crown
    p.setPen(stroke(Ink, 5));
    p.drawLine(QPointF(32, 9), QPointF(32, 14));
    p.save();
    p.translate(centre);
    p.rotate(45);
    p.drawLine(QPointF(0, -r - 2), QPointF(0, -r - 6)); // side button
    p.restore();

    p.setBrush(Paper);
    p.drawEllipse(centre, r, r);
    QColor elapsed = Accent;
    elapsed.setAlpha(90);
    p.setPen(Qt::NoPen);
    p.setBrush(elapsed);
    const double hand = 120; // degrees clockwise from twelve o'clock
    p.drawPie(QRectF(centre.x() - r + 4, centre.y() - r + 4, 2 * (r - 4), 2 * (r - 4)), 90 * 16,
              int(-hand * 16));

    p.setPen(stroke(Ink, 3));
    for (int i = 0; i < 4; ++i) {
        const double rad = i * M_PI / 2;
        const QPointF dir(std::sin(rad), -std::cos(rad));
        p.drawLine(centre + dir * (r - 7), centre + dir * (r - 3));
    }
    const double rad = hand * M_PI / 180;
    p.setPen(stroke(Accent, 4));
    p.drawLine(centre, centre + QPointF(std::sin(rad), -std::cos(rad)) * (r - 6));
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(centre, 3.5, 3.5);
}

void paintStart(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Paper, 4));
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 32), 27, 27);
    QPainterPath play;
    play.moveTo(25, 18);
    play.lineTo(46, 32);
    play.lineTo(25, 46);
    play.closeSubpath();
    p.setPen(stroke(Paper, 3));
    p.setBrush(Paper);
    p.drawPath(play);
}

void paintStop(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Paper, 4));
    p.setBrush(Red);
    p.drawRoundedRect(QRectF(12, 12, 40, 40), 7, 7);
}

} // namespace

void appendCaptureArtwork(std::vector<Artwork> &artwork)
{
    // Twice the size the panel shows them at, for scaled and high-density screens.
    const int size = 64;
    const auto add = [&artwork](const char *name, auto paint) {
        artwork.push_back({QStringLiteral("pics/") + QLatin1String(name), size, paint});
    };
    add("capture_docCam.png", paintDocCam);
    add("capture_desktop.png", paintDesktop);
    add("capture_timeLapse.png", paintTimeLapse);
    add("capture_start.png", paintStart);
    add("capture_stop.png", paintStop);
}
