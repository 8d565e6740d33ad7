#include "CanvasDocumentWriter.h"

#include <QIODevice>

bool CanvasDocumentWriter::open(QIODevice *device)
{
    setDevice(device);
    setAutoFormatting(true);
    writeStartDocument();
    writeStartElement("document");
    writeAttribute("company", "Kivo");
    writeAttribute("version", "1.0");
    return !hasError();
}

bool CanvasDocumentWriter::close()
{
    writeEndElement();
    writeEndDocument();
    return !hasError();
}
