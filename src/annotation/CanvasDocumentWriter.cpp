#include "CanvasDocumentWriter.h"

#include <QIODevice>

bool CanvasDocumentWriter::open(QIODevice *device)
{
    setDevice(device);
    setAutoFormatting(true);
    writeStartDocument();
    writeStartElement(QStringLiteral("document"));
    writeAttribute(QStringLiteral("company"), QStringLiteral("Kivo"));
    writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    return !hasError();
}

bool CanvasDocumentWriter::close()
{
    writeEndElement();
    writeEndDocument();
    return !hasError();
}
