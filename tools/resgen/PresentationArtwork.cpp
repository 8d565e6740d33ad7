// The picture and video bars' icons: full screen on and off, close (also the masks' close
// button), and the video's play and pause.
// Drawn on the 64 × 64 grid of the document camera icons in the same ink, so the bar sits beside
// the other panels as one set, with strokes heavy enough to stay clear at the 24 pixels the bar
// shows them at.

#include "Artwork.h"

#include <QPainter>

namespace {

using namespace ArtworkKit;

/// Four corner brackets. With `outward` their corners sit at the edges of the icon, the frame
/// the picture will grow to; otherwise they sit inside and point back to a smaller frame.
void corners(QPainter &p, bool outward)
{
    const double edge = 8, inner = 22, arm = 14, outerArm = 18;
    p.setBrush(Qt::NoBrush);
    p.setPen(stroke(Ink, 7));
    for (int corner = 0; corner < 4; ++corner) {
        const double sx = corner % 2 ? -1 : 1, sy = corner / 2 ? -1 : 1;
        // Mirror the top-left bracket into each corner around the centre.
        auto at = [&](double x, double y) {
            return QPointF(32 + sx * (x - 32), 32 + sy * (y - 32));
        };
        if (outward) {
            p.drawPolyline(QPolygonF(
                    {at(edge, edge + outerArm), at(edge, edge), at(edge + outerArm, edge)}));
        } else {
            p.drawPolyline(
                    QPolygonF({at(inner - arm, inner), at(inner, inner), at(inner, inner - arm)}));
        }
    }
}

void paintBecomeFullScreen(QPainter &p, int size)
{
    toGrid(p, size);
    // The picture that will fill the screen, in the accent colour, inside the outer corners.
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(22, 22, 20, 20), 3, 3);
    corners(p, true);
}

void paintExitFullScreen(QPainter &p, int size)
{
    toGrid(p, size);
    // The same picture back to its place in the window, the corners closing in around it.
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(28, 28, 8, 8), 2, 2);
    corners(p, false);
}

void paintClose(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(32, 32), 28, 28);
    p.setPen(stroke(Paper, 7));
    p.drawLine(QPointF(21, 21), QPointF(43, 43));
    p.drawLine(QPointF(43, 21), QPointF(21, 43));
}

void paintPlay(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 32), 28, 28);
    p.setBrush(Paper);
    p.drawPolygon(QPolygonF({QPointF(25, 18), QPointF(47, 32), QPointF(25, 46)}));
}

/// Shown while the video plays: the button now pauses it.
void paintPlaying(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 32), 28, 28);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(22, 19, 7, 26), 2, 2);
    p.drawRoundedRect(QRectF(35, 19, 7, 26), 2, 2);
}

} // namespace

void appendPresentationArtwork(std::vector<Artwork> &artwork)
{
    artwork.push_back({QStringLiteral("pics/become_FullScreen.png"), 32, paintBecomeFullScreen});
    artwork.push_back({QStringLiteral("pics/exit_FullScreen.png"), 32, paintExitFullScreen});
    artwork.push_back({QStringLiteral("pics/videobar_exit.png"), 32, paintClose});
    artwork.push_back({QStringLiteral("pics/play.png"), 32, paintPlay});
    artwork.push_back({QStringLiteral("pics/playing.png"), 32, paintPlaying});
    // The visor's and the spotlight's close button, shown at its own size on the grey mask.
    artwork.push_back({QStringLiteral("pics/close.png"), 16, paintClose});
}
