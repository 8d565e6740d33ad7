// The media library's pictures: the default tile of each kind of entry (folder, picture, video,
// and the drives by kind), the panel's tool buttons and the Info column's badge. Tiles are drawn
// larger and in colour so that a grid of them reads at a glance; the buttons follow the ink and
// accent of the other tool icons.

#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

using namespace ArtworkKit;

constexpr QColor FolderBack(0xf9, 0xa8, 0x25);
constexpr QColor FolderFront(0xff, 0xca, 0x28);
constexpr QColor Metal(0xb0, 0xbe, 0xc5);
constexpr QColor MetalDark(0x78, 0x90, 0x9c);

void folderShape(QPainter &p)
{
    QPainterPath back;
    back.moveTo(4, 14);
    back.lineTo(24, 14);
    back.lineTo(29, 20);
    back.lineTo(60, 20);
    back.lineTo(60, 54);
    back.lineTo(4, 54);
    back.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(FolderBack);
    p.drawPath(back);
    QLinearGradient front(0, 24, 0, 54);
    front.setColorAt(0, FolderFront);
    front.setColorAt(1, FolderBack);
    p.setBrush(front);
    p.drawRoundedRect(QRectF(4, 25, 56, 29), 3, 3);
}

void paintFolder(QPainter &p, int size)
{
    toGrid(p, size);
    folderShape(p);
}

void paintNewFolder(QPainter &p, int size)
{
    toGrid(p, size);
    folderShape(p);
    p.setPen(stroke(Ink, 5));
    p.drawLine(QPointF(32, 31), QPointF(32, 49));
    p.drawLine(QPointF(23, 40), QPointF(41, 40));
}

/// A white card with a shadowed edge, the body of the picture and video tiles.
void card(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(QRectF(7, 11, 54, 46), 4, 4);
    p.setPen(stroke(TextLine, 1.5));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(5, 9, 54, 46), 4, 4);
}

void paintPicture(QPainter &p, int size)
{
    toGrid(p, size);
    card(p);
    const QRectF frame(10, 14, 44, 36);
    QLinearGradient sky(0, frame.top(), 0, frame.bottom());
    sky.setColorAt(0, QColor(0x90, 0xca, 0xf9));
    sky.setColorAt(1, QColor(0xe3, 0xf2, 0xfd));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(frame);
    p.setBrush(Light);
    p.drawEllipse(QPointF(43, 23), 4.5, 4.5);
    QPainterPath hills;
    hills.moveTo(10, 50);
    hills.lineTo(23, 31);
    hills.lineTo(32, 42);
    hills.lineTo(38, 35);
    hills.lineTo(54, 50);
    hills.closeSubpath();
    p.setBrush(Leaf);
    p.drawPath(hills);
}

void paintVideo(QPainter &p, int size)
{
    toGrid(p, size);
    card(p);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRect(QRectF(10, 14, 44, 36));
    // Sprocket holes along both edges: a strip of film.
    p.setBrush(Paper);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(12, 16.5 + i * 7, 3, 3));
        p.drawRect(QRectF(49, 16.5 + i * 7, 3, 3));
    }
    QPainterPath play;
    play.moveTo(27, 23);
    play.lineTo(41, 32);
    play.lineTo(27, 41);
    play.closeSubpath();
    p.setBrush(Accent);
    p.drawPath(play);
}

void paintHome(QPainter &p, int size)
{
    toGrid(p, size);
    QPainterPath roof;
    roof.moveTo(4, 32);
    roof.lineTo(32, 8);
    roof.lineTo(60, 32);
    p.setPen(stroke(AccentDark, 6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(roof);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRect(QRectF(13, 30, 38, 26));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(27, 38, 10, 18), 2, 2);
}

void paintUsb(QPainter &p, int size)
{
    toGrid(p, size);
    p.translate(32, 32);
    p.rotate(-35);
    p.setPen(Qt::NoPen);
    p.setBrush(Metal);
    p.drawRect(QRectF(-8, -30, 16, 14));
    p.setBrush(Ink);
    p.drawRect(QRectF(-4, -26, 3, 4));
    p.drawRect(QRectF(1, -26, 3, 4));
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(-11, -17, 22, 44), 5, 5);
    p.setBrush(Light);
    p.drawEllipse(QPointF(0, 19), 2.5, 2.5);
}

void paintCdRom(QPainter &p, int size)
{
    toGrid(p, size);
    QLinearGradient shine(8, 8, 56, 56);
    shine.setColorAt(0, QColor(0xe1, 0xf5, 0xfe));
    shine.setColorAt(0.5, Metal);
    shine.setColorAt(1, QColor(0xf3, 0xe5, 0xf5));
    p.setPen(stroke(MetalDark, 1.5));
    p.setBrush(shine);
    p.drawEllipse(QPointF(32, 32), 27, 27);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(32, 32), 8, 8);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(32, 32), 3, 3);
}

/// A hard disk seen from the front: the fixed drive, and the body of the network drive.
void diskBox(QPainter &p, double top)
{
    QLinearGradient body(0, top, 0, top + 24);
    body.setColorAt(0, Metal);
    body.setColorAt(1, MetalDark);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(6, top, 52, 24), 4, 4);
    p.setBrush(Leaf);
    p.drawEllipse(QPointF(49, top + 12), 3, 3);
    p.setPen(stroke(Ink, 2));
    p.drawLine(QPointF(13, top + 12), QPointF(34, top + 12));
}

void paintFixed(QPainter &p, int size)
{
    toGrid(p, size);
    diskBox(p, 20);
}

void paintRemote(QPainter &p, int size)
{
    toGrid(p, size);
    diskBox(p, 8);
    // The cable to the network.
    p.setPen(stroke(Ink, 3));
    p.drawLine(QPointF(32, 32), QPointF(32, 46));
    p.drawLine(QPointF(10, 52), QPointF(54, 52));
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(25, 45, 14, 14), 3, 3);
}

void paintSearch(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(27, 27), 16, 16);
    p.setPen(stroke(Ink, 9));
    p.drawLine(QPointF(39, 39), QPointF(56, 56));
}

void paintBack(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(stroke(Ink, 6));
    p.setBrush(Qt::NoBrush);
    // Up to the folder above, the way file managers draw it.
    p.drawPolyline(QPolygonF({QPointF(14, 28), QPointF(28, 14), QPointF(42, 28)}));
    QPainterPath bend;
    bend.moveTo(28, 16);
    bend.lineTo(28, 40);
    bend.quadTo(28, 50, 38, 50);
    bend.lineTo(54, 50);
    p.drawPath(bend);
}

void paintUpload(QPainter &p, int size)
{
    toGrid(p, size);
    QPainterPath cloud;
    // The puffs overlap: filled as one outline, not as alternating rings.
    cloud.setFillRule(Qt::WindingFill);
    cloud.addEllipse(QPointF(22, 36), 13, 12);
    cloud.addEllipse(QPointF(36, 28), 15, 15);
    cloud.addEllipse(QPointF(47, 38), 11, 10);
    cloud.addRect(QRectF(22, 36, 25, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawPath(cloud);
    p.setPen(stroke(Paper, 5));
    p.drawLine(QPointF(34, 48), QPointF(34, 28));
    p.drawPolyline(QPolygonF({QPointF(26, 35), QPointF(34, 27), QPointF(42, 35)}));
}

void paintClose(QPainter &p, int size)
{
    toGrid(p, size);
    // Back to the left edge the panel came from.
    p.setPen(stroke(Ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(30, 14), QPointF(12, 32), QPointF(30, 50)}));
    p.drawPolyline(QPolygonF({QPointF(50, 14), QPointF(32, 32), QPointF(50, 50)}));
}

void paintGrip(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(TextLine);
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 2; ++column)
            p.drawEllipse(QPointF(26 + column * 12, 8 + row * 12), 3.5, 3.5);
}

void paintInfo(QPainter &p, int size)
{
    toGrid(p, size);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(32, 32), 28, 28);
    QFont font(QStringLiteral("serif"));
    font.setBold(true);
    font.setPixelSize(42);
    p.setFont(font);
    p.setPen(Paper);
    p.drawText(QRectF(4, 6, 56, 56), Qt::AlignCenter, QStringLiteral("i"));
}

} // namespace

void appendMediaLibraryArtwork(std::vector<Artwork> &artwork)
{
    const auto add = [&artwork](const char *name, int size, auto paint) {
        artwork.push_back({QStringLiteral("pics/MediaLib/") + QLatin1String(name), size, paint});
    };
    add("folder.png", 64, paintFolder);
    add("picture_thumbnail.png", 64, paintPicture);
    add("video_thumbnail.png", 64, paintVideo);
    add("drive_home.png", 64, paintHome);
    add("drive_usb.png", 64, paintUsb);
    add("drive_cdrom.png", 64, paintCdRom);
    add("drive_hdd.png", 64, paintFixed);
    add("drive_remote.png", 64, paintRemote);
    add("search.png", 32, paintSearch);
    add("back.png", 32, paintBack);
    add("new_folder.png", 32, paintNewFolder);
    add("upload.png", 32, paintUpload);
    add("close.png", 32, paintClose);
    add("grip.png", 32, paintGrip);
    artwork.push_back({QStringLiteral("pics/info.png"), 16, paintInfo});
}
