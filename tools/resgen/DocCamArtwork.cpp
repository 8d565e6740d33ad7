// The document camera panels' icons.

#include "Artwork.h"

void appendDocCamArtwork(std::vector<Artwork> &) { }
