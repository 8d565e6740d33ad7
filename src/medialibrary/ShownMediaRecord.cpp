#include "ShownMediaRecord.h"

void ShownMediaRecord::store(QString &field, const QString &path)
{
    std::lock_guard lock(mutex);
    field = path;
}

QString ShownMediaRecord::load(const QString &field) const
{
    std::lock_guard lock(mutex);
    return field;
}

void ShownMediaRecord::setShownImage(const QString &path)
{
    store(image, path);
}

QString ShownMediaRecord::shownImage() const
{
    return load(image);
}

void ShownMediaRecord::setPlayingVideo(const QString &path)
{
    store(video, path);
}

QString ShownMediaRecord::playingVideo() const
{
    return load(video);
}

void ShownMediaRecord::setThumbnailInProgress(const QString &path)
{
    store(thumbnail, path);
}

QString ShownMediaRecord::thumbnailInProgress() const
{
    return load(thumbnail);
}

bool ShownMediaRecord::isOnScreen(const QString &path) const
{
    if (path.isEmpty())
        return false;
    std::lock_guard lock(mutex);
    return path == image || path == video;
}
