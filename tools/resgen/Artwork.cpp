#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace ArtworkKit {

void toGrid(QPainter &p, int size)
{
    p.scale(size / Grid, size / Grid);
}

QPen stroke(const QColor &colour, double width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace ArtworkKit

namespace {

using namespace ArtworkKit;

/// The application icon: a document camera looking down at a page, on a rounded tile.
void paintAppIcon(QPainter &p, int size)
{
    p.scale(size / 256.0, size / 256.0);

    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, Accent);
    tile.setColorAt(1, AccentDark);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);

    // The page under the camera, slightly tilted towards the viewer.
    QPainterPath page;
    page.moveTo(70, 196);
    page.lineTo(214, 196);
    page.lineTo(200, 150);
    page.lineTo(96, 150);
    page.closeSubpath();
    p.setBrush(Paper);
    p.drawPath(page);
    p.setPen(QPen(TextLine, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(104, 164), QPointF(190, 164));
    p.drawLine(QPointF(96, 180), QPointF(172, 180));

    // Light falling from the lens onto the page.
    QPainterPath beam;
    beam.moveTo(146, 96);
    beam.lineTo(112, 154);
    beam.lineTo(190, 154);
    beam.lineTo(166, 96);
    beam.closeSubpath();
    QColor beamColour = Light;
    beamColour.setAlpha(110);
    p.setPen(Qt::NoPen);
    p.setBrush(beamColour);
    p.drawPath(beam);

    // Base, arm and head.
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(40, 196, 176, 20), 8, 8);
    p.setPen(stroke(Ink, 14));
    p.drawLine(QPointF(62, 200), QPointF(72, 64));
    p.drawLine(QPointF(72, 64), QPointF(150, 72));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(128, 62, 56, 36), 10, 10);

    QRadialGradient lens(QPointF(156, 98), 14);
    lens.setColorAt(0, Light);
    lens.setColorAt(1, QColor(0xff, 0xa0, 0x00));
    p.setBrush(lens);
    p.drawEllipse(QPointF(156, 98), 11, 7);
}

} // namespace

const std::vector<Artwork> &allArtwork()
{
    static const std::vector<Artwork> artwork = [] {
        std::vector<Artwork> all = {
                {QStringLiteral("pics/velora.png"), 256, paintAppIcon},
                {QStringLiteral("pics/velora-32.png"), 32, paintAppIcon},
        };
        appendDocCamArtwork(all);
        appendSplitArtwork(all);
        appendPresentationArtwork(all);
        appendToolsArtwork(all);
        appendCaptureArtwork(all);
        appendCursorArtwork(all);
        appendAnnotationArtwork(all);
        appendSettingsArtwork(all);
        appendMediaLibraryArtwork(all);
        appendPresenterArtwork(all);
        return all;
    }();
    return artwork;
}

QImage render(const Artwork &artwork)
{
    QImage image(artwork.size, artwork.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    artwork.paint(painter, artwork.size);
    painter.end();
    return image;
}
