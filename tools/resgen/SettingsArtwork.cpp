// The settings dialog's pictures: the quiet and loud ends of the volume sliders, and a plain
// badge per web service for the login rows (a coloured tile with the service's initial, not the
// service's own mark).

#include "Artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {

using namespace ArtworkKit;

void paintSpeaker(QPainter &p)
{
    QPainterPath body;
    body.moveTo(8, 24);
    body.lineTo(20, 24);
    body.lineTo(34, 10);
    body.lineTo(34, 54);
    body.lineTo(20, 40);
    body.lineTo(8, 40);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawPath(body);
}

void paintAudio(QPainter &p, int size)
{
    toGrid(p, size);
    paintSpeaker(p);
    // Sound going out: two arcs.
    p.setPen(stroke(Accent, 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(28, 20, 16, 24), -60 * 16, 120 * 16);
    p.drawArc(QRectF(28, 8, 30, 48), -60 * 16, 120 * 16);
}

void paintAudioMute(QPainter &p, int size)
{
    toGrid(p, size);
    paintSpeaker(p);
    p.setPen(stroke(Red, 5));
    p.drawLine(QPointF(42, 24), QPointF(58, 40));
    p.drawLine(QPointF(58, 24), QPointF(42, 40));
}

auto serviceBadge(QColor colour, QChar initial)
{
    return [colour, initial](QPainter &p, int size) {
        toGrid(p, size);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
        QFont font;
        font.setBold(true);
        font.setPixelSize(40);
        p.setFont(font);
        p.setPen(Paper);
        p.drawText(QRectF(4, 4, 56, 56), Qt::AlignCenter, QString(initial));
    };
}

} // namespace

void appendSettingsArtwork(std::vector<Artwork> &artwork)
{
    const auto add = [&artwork](const char *name, auto paint) {
        artwork.push_back({QStringLiteral("pics/") + QLatin1String(name), 32, paint});
    };
    add("audio.png", paintAudio);
    add("audio_mute.png", paintAudioMute);
    add("site_youtube.png", serviceBadge(QColor(0xd3, 0x2f, 0x2f), u'Y'));
    add("site_dropbox.png", serviceBadge(QColor(0x1e, 0x64, 0xd0), u'D'));
    add("site_twitter.png", serviceBadge(QColor(0x29, 0x9b, 0xd8), u'T'));
    add("site_facebook.png", serviceBadge(QColor(0x3b, 0x57, 0x98), u'F'));
    add("site_picasa.png", serviceBadge(QColor(0x8e, 0x44, 0xad), u'P'));
}
