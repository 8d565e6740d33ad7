#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

/// One picture the generator draws: its resource path below src/resources and how to paint it
/// at a given size.
struct Artwork
{
    QString path;
    int size;
    std::function<void(class QPainter &, int size)> paint;
};

/// Every picture Velora ships.
const std::vector<Artwork> &allArtwork();

// Each family of pictures lives in its own file and adds itself here.
void appendDocCamArtwork(std::vector<Artwork> &artwork);
void appendSplitArtwork(std::vector<Artwork> &artwork);
void appendPresentationArtwork(std::vector<Artwork> &artwork);
void appendToolsArtwork(std::vector<Artwork> &artwork);

QImage render(const Artwork &artwork);
