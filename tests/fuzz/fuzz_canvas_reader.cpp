// libFuzzer entry point for the canvas file reader: arbitrary bytes go through the envelope and
// the canvas into a fresh scene, which is then painted into a small image as an export would.
// Besides the sanitizers' findings, two properties are checked: reading fails exactly when it
// leaves a message (CanvasFile::load aborts otherwise), and a canvas that was read writes a
// file that reads back.

#include "CanvasFileHelpers.h"

#include <QApplication>
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
    const QByteArray bytes
            = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool ok = CanvasFile::load(bytes, scene).isEmpty();
    // Whatever was read, also before an error, is on screen: painting it must be safe too.
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene.renderUncached(&painter);
    painter.end();
    CanvasScene again;
    if (ok && !CanvasFile::load(CanvasFile::save(scene), again).isEmpty())
        std::abort();
    return 0;
}
