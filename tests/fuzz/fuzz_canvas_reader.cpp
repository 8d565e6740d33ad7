// libFuzzer entry point for the canvas file reader: arbitrary bytes go through the envelope and
// the canvas into a fresh scene, which is then painted into a small image as an export would.
// Besides the sanitizers' findings, one property is checked: a canvas that was read
// successfully writes a file that reads back successfully.

#include "CanvasFileHelpers.h"

#include <CanvasDocumentReader.h>
#include <CanvasScene.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QApplication &application()
{
    // Items and scenes need a widget application; one lives for the whole run.
    static int argc = 1;
    static char name[] = "fuzz_canvas_reader";
    static char *argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

bool read(const QByteArray &bytes, CanvasScene &scene)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CanvasDocumentReader reader;
    const bool ok = reader.open(&buffer) && scene.readXml(reader);
    // Failing without a message, or succeeding with one, would leave the user with nothing to
    // go by.
    if (ok == reader.hasError())
        std::abort();
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    application();
    CanvasScene scene;
    const bool ok = read(
            QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)), scene);
    // Whatever was read, also before an error, is on screen: painting it must be safe too.
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene.renderUncached(&painter);
    painter.end();
    if (!ok)
        return 0;
    CanvasScene again;
    if (!read(CanvasFile::save(scene), again))
        std::abort();
    return 0;
}
