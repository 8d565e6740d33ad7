#pragma once

#include "CanvasXmlReader.h"

class QIODevice;

/// Reads a canvas file: open() checks the `document` envelope and leaves the reader on the
/// first element inside it, for CanvasScene::readXml.
///
/// Every failure, here or in the scene, leaves errorString() with one of CanvasXml's three
/// messages for the caller to show or log.
class CanvasDocumentReader : public CanvasXmlReader
{
public:
    CanvasDocumentReader() = default;

    /// Reads everything `device` holds (it must be open for reading). False, with "Unable to read
    /// due to invalid format.", unless the first element is a `document` of company "Kivo" and
    /// version "1.0".
    bool open(QIODevice *device);
};
