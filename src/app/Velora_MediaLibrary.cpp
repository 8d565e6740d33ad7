// The media library beside the picture: its panel behind the "Media Library" handle, the
// pictures and videos it asks to show, and the recordings handed to it when they end.

#include "Velora.h"

#include <MediaLibraryIntf.h>

void Velora::wireMediaLibrary()
{
    mediaLibrary = MediaLibraryIntf::getInstance();
    installMediaLibraryPanel(mediaLibrary->panel());
    connect(mediaLibrary, &MediaLibraryIntf::showImageRequested, this, &Velora::imgRequestToShow);
    connect(mediaLibrary, &MediaLibraryIntf::playVideoRequested, this,
            &Velora::videoObjRequestToPlay);
    connect(mediaLibrary, &MediaLibraryIntf::widgetClosed, this, &Velora::mediaLibPanelClose);
    connect(mediaLibrary, &MediaLibraryIntf::widgetResized, this, &Velora::mediaLibPanelResized);
}
