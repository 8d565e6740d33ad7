#include "CanvasDocumentReader.h"

#include "CanvasXml.h"

bool CanvasDocumentReader::open(QIODevice *device)
{
    setDevice(device);
    while (!atEnd() && !isStartElement())
        readNext();
    if (!isStartElement() || name() != u"document"
        || attributes().value(QStringLiteral("company")) != u"Kivo"
        || attributes().value(QStringLiteral("version")) != u"1.0") {
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
