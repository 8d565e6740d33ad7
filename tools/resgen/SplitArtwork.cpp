// The split-screen panel's icons: each is a small screen showing the layout the button chooses,
// every pane in the colour and with the sign of its source, so that the same source reads the
// same in all seven.

#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

using namespace ArtworkKit;

// The application icon's palette, so these sit well beside it; the document camera and webcam
// colours are the ones the tool strip's split icon uses too.
constexpr QColor DocCamColour = Accent;
constexpr QColor WebCamColour = Leaf;
const QColor MediaColour(0xfb, 0x8c, 0x00);

enum class Source { DocCam, WebCam, Media };

const QRectF Screen(3, 9, 58, 46);
constexpr double Gap = 2.5;

void paintDocument(QPainter &p, const QRectF &area, const QColor &background)
{
    const double h = area.height();
    const QRectF page(area.center().x() - h * 0.36, area.top(), h * 0.72, h);
    QPainterPath sheet;
    const double fold = h * 0.28;
    sheet.moveTo(page.topLeft());
    sheet.lineTo(page.right() - fold, page.top());
    sheet.lineTo(page.right(), page.top() + fold);
    sheet.lineTo(page.bottomRight());
    sheet.lineTo(page.bottomLeft());
    sheet.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawPath(sheet);
    p.setPen(QPen(background, qMax(1.2, h * 0.09), Qt::SolidLine, Qt::RoundCap));
    const double left = page.left() + page.width() * 0.2;
    for (double row : {0.45, 0.62, 0.79}) {
        const double right = page.right() - page.width() * (row > 0.7 ? 0.35 : 0.2);
        p.drawLine(QPointF(left, page.top() + h * row), QPointF(right, page.top() + h * row));
    }
}

void paintWebCam(QPainter &p, const QRectF &area, const QColor &background)
{
    const double h = area.height();
    const QPointF centre(area.center().x(), area.top() + h * 0.4);
    const double radius = h * 0.4;
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawEllipse(centre, radius, radius);
    // The stand it clips onto.
    p.drawRoundedRect(
            QRectF(centre.x() - radius * 0.9, area.bottom() - h * 0.12, radius * 1.8, h * 0.12),
            h * 0.05, h * 0.05);
    p.setBrush(background);
    p.drawEllipse(centre, radius * 0.55, radius * 0.55);
    p.setBrush(Paper);
    p.drawEllipse(centre + QPointF(-radius * 0.18, -radius * 0.18), radius * 0.16, radius * 0.16);
}

void paintMedia(QPainter &p, const QRectF &area, const QColor &)
{
    const double h = area.height();
    QPainterPath play;
    play.moveTo(area.center().x() - h * 0.36, area.top());
    play.lineTo(area.center().x() + h * 0.5, area.center().y());
    play.lineTo(area.center().x() - h * 0.36, area.bottom());
    play.closeSubpath();
    p.setPen(stroke(Paper, h * 0.08));
    p.setBrush(Paper);
    p.drawPath(play);
}

/// One pane of a layout: its source's colour and sign, the sign sized to the pane.
void paintPane(QPainter &p, const QRectF &pane, Source source)
{
    const QColor colour = source == Source::DocCam ? DocCamColour
            : source == Source::WebCam             ? WebCamColour
                                                   : MediaColour;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(pane, 2, 2);

    const double sign = qMin(pane.width(), pane.height()) * 0.58;
    QRectF area(0, 0, sign, sign);
    area.moveCenter(pane.center());
    switch (source) {
    case Source::DocCam:
        paintDocument(p, area, colour);
        break;
    case Source::WebCam:
        paintWebCam(p, area, colour);
        break;
    case Source::Media:
        paintMedia(p, area, colour);
        break;
    }
}

/// The screen the panes sit on; answers the area inside its bezel.
QRectF paintScreen(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(Screen, 5, 5);
    return Screen.adjusted(Gap, Gap, -Gap, -Gap);
}

void paintOne(QPainter &p, int size)
{
    paintPane(p, paintScreen(p, size), Source::DocCam);
}

void paintPip(QPainter &p, int size)
{
    const QRectF inside = paintScreen(p, size);
    paintPane(p, inside, Source::DocCam);
    // The inset in the frame's first corner, top right, ringed so that it stands off the page.
    QRectF inset(0, 0, inside.width() * 0.46, inside.height() * 0.46);
    inset.moveTopRight(inside.topRight());
    p.setBrush(Ink);
    p.drawRoundedRect(inset.adjusted(-Gap, 0, 0, Gap), 3, 3);
    paintPane(p, inset, Source::WebCam);
}

void paintTwo(QPainter &p, int size, Source right)
{
    const QRectF inside = paintScreen(p, size);
    const double half = (inside.width() - Gap) / 2;
    paintPane(p, QRectF(inside.left(), inside.top(), half, inside.height()), Source::DocCam);
    paintPane(p, QRectF(inside.right() - half, inside.top(), half, inside.height()), right);
}

/// One large pane on the left, two stacked on the right.
void paintThree(QPainter &p, int size, Source large, Source upper, Source lower)
{
    const QRectF inside = paintScreen(p, size);
    const double bigWidth = (inside.width() - Gap) * 0.62;
    const double smallWidth = inside.width() - Gap - bigWidth;
    const double smallHeight = (inside.height() - Gap) / 2;
    paintPane(p, QRectF(inside.left(), inside.top(), bigWidth, inside.height()), large);
    paintPane(p, QRectF(inside.right() - smallWidth, inside.top(), smallWidth, smallHeight), upper);
    paintPane(p,
              QRectF(inside.right() - smallWidth, inside.bottom() - smallHeight, smallWidth,
                     smallHeight),
              lower);
}

/// The picture-in-picture frame's move button: a clockwise arrow, the way the frame walks the
/// corners, on a dark disc so that it reads over any picture.
void paintPipMove(QPainter &p, int size)
{
    toGrid(p, size);
    QColor disc = Ink;
    disc.setAlpha(200);
    p.setPen(QPen(Paper, 2));
    p.setBrush(disc);
    p.drawEllipse(QPointF(32, 32), 29, 29);

    const QRectF arc(16, 16, 32, 32);
    p.setPen(QPen(Paper, 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    // Qt's angles run anticlockwise from three o'clock in sixteenths of a degree.
    p.drawArc(arc, 150 * 16, -250 * 16);
    // The head at the clockwise end of the arc (at -100 degrees: just left of six o'clock).
    QPainterPath head;
    head.moveTo(19, 47);
    head.lineTo(33, 38);
    head.lineTo(35, 56);
    head.closeSubpath();
    p.setPen(stroke(Paper, 2));
    p.setBrush(Paper);
    p.drawPath(head);
}

} // namespace

void appendSplitArtwork(std::vector<Artwork> &artwork)
{
    const int size = 64;
    artwork.push_back({QStringLiteral("pics/noSplit.png"), size, paintOne});
    artwork.push_back({QStringLiteral("pics/pipSplit.png"), size, paintPip});
    artwork.push_back({QStringLiteral("pics/twoSplit_DW.png"), size, [](QPainter &p, int s) {
                           paintTwo(p, s, Source::WebCam);
                       }});
    artwork.push_back({QStringLiteral("pics/twoSplit_DM.png"), size, [](QPainter &p, int s) {
                           paintTwo(p, s, Source::Media);
                       }});
    artwork.push_back({QStringLiteral("pics/threeSplit.png"), size, [](QPainter &p, int s) {
                           paintThree(p, s, Source::DocCam, Source::WebCam, Source::Media);
                       }});
    artwork.push_back({QStringLiteral("pics/threeSplit_W.png"), size, [](QPainter &p, int s) {
                           paintThree(p, s, Source::WebCam, Source::DocCam, Source::Media);
                       }});
    artwork.push_back({QStringLiteral("pics/threeSplit_M.png"), size, [](QPainter &p, int s) {
                           paintThree(p, s, Source::Media, Source::DocCam, Source::WebCam);
                       }});
    artwork.push_back({QStringLiteral("pics/pipMove.png"), size, paintPipMove});
}
