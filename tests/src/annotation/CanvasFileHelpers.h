#pragma once

#include <CanvasDocumentReader.h>
#include <CanvasDocumentWriter.h>
#include <CanvasScene.h>

#include <QBuffer>
#include <QByteArray>
#include <QString>

namespace CanvasFile {

/// The canvas file of `scene`, as the application writes it.
inline QByteArray save(const CanvasScene &scene)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CanvasDocumentWriter writer;
    writer.open(&buffer);
    scene.writeXml(writer);
    writer.close();
    return bytes;
}

/// Reads `bytes` into `scene` through the envelope and the canvas; the reader's error, empty when
/// reading succeeded. A failure without a message, or a message after success, would leave the
/// user with nothing to go by, and aborts.
inline QString load(const QByteArray &bytes, CanvasScene &scene)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CanvasDocumentReader reader;
    const bool ok = reader.open(&buffer) && scene.readXml(reader);
    if (ok == reader.hasError() || (!ok && reader.errorString().isEmpty()))
        qFatal("canvas reader: the result and the error disagree");
    return ok ? QString() : reader.errorString();
}

} // namespace CanvasFile
