#pragma once

#include <QColor>
#include <QImage>
#include <QPen>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

/// One picture the generator draws: its resource path below src/resources and how to paint it
/// at a given size.
struct Artwork
{
    QString path;
    int size;
    std::function<void(QPainter &, int size)> paint;
};

/// Every picture Velora ships.
const std::vector<Artwork> &allArtwork();

// Each family of pictures lives in its own file and adds itself here.
void appendDocCamArtwork(std::vector<Artwork> &artwork);
void appendSplitArtwork(std::vector<Artwork> &artwork);
void appendPresentationArtwork(std::vector<Artwork> &artwork);
void appendToolsArtwork(std::vector<Artwork> &artwork);
void appendCaptureArtwork(std::vector<Artwork> &artwork);
void appendCursorArtwork(std::vector<Artwork> &artwork);
void appendAnnotationArtwork(std::vector<Artwork> &artwork);
void appendSettingsArtwork(std::vector<Artwork> &artwork);
void appendMediaLibraryArtwork(std::vector<Artwork> &artwork);
void appendPresenterArtwork(std::vector<Artwork> &artwork);

QImage render(const Artwork &artwork);

/// What every family of pictures draws with: one palette, one grid and one kind of stroke keep
/// the icons consistent side by side.
namespace ArtworkKit {

inline constexpr QColor Ink(0x26, 0x32, 0x38);
inline constexpr QColor Accent(0x1e, 0x88, 0xe5);
inline constexpr QColor AccentDark(0x15, 0x65, 0xc0);
inline constexpr QColor Paper(0xfa, 0xfa, 0xfa);
inline constexpr QColor Light(0xff, 0xd5, 0x4f);
inline constexpr QColor Leaf(0x43, 0xa0, 0x47);
inline constexpr QColor Red(0xe5, 0x39, 0x35);
/// The lines of text on a drawn page.
inline constexpr QColor TextLine(0x90, 0xa4, 0xae);

/// The icons are drawn on a Grid × Grid square whatever the output size.
inline constexpr double Grid = 64.0;

/// Scales the painter so that the icon can be drawn in grid units.
void toGrid(QPainter &p, int size);

/// A solid pen with round caps and joins, the strokes most icons are drawn in.
QPen stroke(const QColor &colour, double width);

} // namespace ArtworkKit
