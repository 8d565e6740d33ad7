// Writes every generated picture and sound below the folder given as the only argument
// (src/resources), creating sub-folders as needed.

#include "Artwork.h"
#include "ShutterSound.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

namespace {
bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: resgen <src/resources folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);

    int failures = 0;
    for (const Artwork &artwork : allArtwork()) {
        const QString path = root + QLatin1Char('/') + artwork.path;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!render(artwork).save(path, "PNG")) {
            std::fprintf(stderr, "resgen: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    if (!writeFile(root + QStringLiteral("/sounds/capture.wav"), shutterSoundWav())) {
        std::fprintf(stderr, "resgen: cannot write the shutter sound\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
