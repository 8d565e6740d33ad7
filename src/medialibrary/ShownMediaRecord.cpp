#include "ShownMediaRecord.h"

void ShownMediaRecord::setShownImage(const QString &path)
{
    std::lock_guard lock(mutex);
    image = path;
}

QString ShownMediaRecord::shownImage() const
{
    std::lock_guard lock(mutex);
    return image;
}

void ShownMediaRecord::setPlayingVideo(const QString &path)
{
    std::lock_guard lock(mutex);
    video = path;
}

QString ShownMediaRecord::playingVideo() const
{
    std::lock_guard lock(mutex);
    return video;
}

void ShownMediaRecord::setThumbnailInProgress(const QString &path)
{
    std::lock_guard lock(mutex);
    thumbnail = path;
}

QString ShownMediaRecord::thumbnailInProgress() const
{
    std::lock_guard lock(mutex);
    return thumbnail;
}

bool ShownMediaRecord::isOnScreen(const QString &path) const
{
    if (path.isEmpty())
        return false;
    std::lock_guard lock(mutex);
    return path == image || path == video;
}
