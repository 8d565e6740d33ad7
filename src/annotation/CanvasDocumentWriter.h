#pragma once

#include "CanvasXmlWriter.h"

class QIODevice;

/// Writes a canvas file: the XML declaration and the `document` envelope around the elements
/// the caller writes (CanvasScene::writeXml), indented automatically.
///
///     CanvasDocumentWriter writer;
///     writer.open(&file);
///     scene.writeXml(writer);
///     writer.close();
class CanvasDocumentWriter : public CanvasXmlWriter
{
public:
    CanvasDocumentWriter() = default;

    /// Starts the document on `device`, which must be open for writing.
    bool open(QIODevice *device);
    /// Ends `document` and the document and flushes; false when the device refused some of it.
    bool close();
};
