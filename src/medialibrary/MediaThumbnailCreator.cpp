#include "MediaThumbnailCreator.h"

#include "MediaInfoStore.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

namespace {

bool turnsSideways(QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

} // namespace

MediaThumbnailCreator::MediaThumbnailCreator(const MediaInfoStore &store, QObject *parent)
    : QThread(parent)
    , store(store)
{
    setObjectName(QStringLiteral("thumbnail"));
}

MediaThumbnailCreator::~MediaThumbnailCreator()
{
    requestInterruption();
    wait();
}

void MediaThumbnailCreator::setPath(const QString &path)
{
    const QString thumbnail = path.isEmpty() ? QString() : store.thumbnailPath(path);
    QMutexLocker lock(&mutex);
    source = path;
    target = thumbnail;
}

QString MediaThumbnailCreator::path() const
{
    QMutexLocker lock(&mutex);
    return source;
}

bool MediaThumbnailCreator::hasWork() const
{
    const QString picture = path();
    return !picture.isEmpty() && QFileInfo::exists(picture);
}

QImage MediaThumbnailCreator::readScaled(const QString &path, int side)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid()) {
        // The size is asked for before the picture is turned upright, so fit the turned size and
        // turn the answer back. JPEG then decodes at 1/2 to 1/8 in the DCT: a 12-megapixel photo
        // is never decoded whole for a 60-pixel tile.
        const bool sideways = turnsSideways(reader.transformation());
        const QSize upright = sideways ? stored.transposed() : stored;
        const QSize fitted = upright.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1});
        reader.setScaledSize(sideways ? fitted.transposed() : fitted);
    }
    QImage image = reader.read();
    if (image.isNull())
        return image;
    // Formats that do not tell their size before decoding are scaled afterwards.
    if (image.width() > side || image.height() > side || !stored.isValid())
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation);
    return image.convertToFormat(QImage::Format_RGB32);
}

void MediaThumbnailCreator::run()
{
    QString picture;
    QString thumbnail;
    {
        QMutexLocker lock(&mutex);
        picture = source;
        thumbnail = target;
    }
    if (picture.isEmpty()) {
        Q_EMIT createThumbnailFromImageFailed();
        return;
    }
    // The file's existence is the only test: a picture changed since keeps its old thumbnail.
    if (QFileInfo::exists(thumbnail)) {
        Q_EMIT thumbnailCreated(thumbnail);
        return;
    }
    const QImage image = isInterruptionRequested() ? QImage() : readScaled(picture);
    if (image.isNull() || isInterruptionRequested()) {
        Q_EMIT createThumbnailFromImageFailed();
        return;
    }
    QDir().mkpath(QFileInfo(thumbnail).path());
    // Written beside and renamed into place, so that a tile never loads half a PNG and a crash
    // leaves no thumbnail that would stand for the picture for good.
    QSaveFile file(thumbnail);
    if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit())
        Q_EMIT thumbnailCreated(thumbnail);
    else
        Q_EMIT createThumbnailFromImageFailed();
}
