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

struct LoadResult
{
    bool ok = false;
    QString error;
};

/// Reads `bytes` into `scene` through the envelope and the canvas.
inline LoadResult load(const QByteArray &bytes, CanvasScene &scene)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CanvasDocumentReader reader;
    LoadResult result;
    result.ok = reader.open(&buffer) && scene.readXml(reader);
    result.error = reader.errorString();
    if (result.ok != !reader.hasError())
        result.error = QStringLiteral("result and reader error disagree: ") + result.error;
    return result;
}

} // namespace CanvasFile
