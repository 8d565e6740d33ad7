// The split-screen panel's icons.

#include "Artwork.h"

void appendSplitArtwork(std::vector<Artwork> &) { }
