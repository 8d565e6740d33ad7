#include "CanvasDocumentReader.h"

#include "CanvasXml.h"

bool CanvasDocumentReader::open(QIODevice *device)
{
    setDevice(device);
    readNextStartElement();
    if (!isStartElement() || name() != "document" || attribute("company") != QByteArrayView("Kivo")
        || attribute("version") != QByteArrayView("1.0")) {
        CanvasXml::raise(*this, CanvasXml::invalidFormatMessage());
        return false;
    }
    // Standing on the canvas, or on the end of a document without one: reading the canvas
    // then reports the missing element.
    readNextStartElement();
    if (hasError()) {
        CanvasXml::raise(*this, CanvasXml::corruptDataMessage());
        return false;
    }
    return true;
}
