#pragma once

#include "DocCamTypes.h"

class KivoDocCam;

/// Told about cameras coming and going, on the camera library's event thread.
class DocCamManagerEventListener
{
public:
    virtual ~DocCamManagerEventListener() = default;

    /// For CameraAdded and CameraRemoved `camera` is the camera concerned, valid for the call;
    /// take a reference (KivoDocCam::addRef) to keep it longer. Other events pass nullptr.
    virtual void docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera) = 0;
};
