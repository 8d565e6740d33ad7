#pragma once

#include <QString>

#include <mutex>

/// Which media files are busy on screen or in the background, so that the media library can
/// refuse to delete or rename a file that is being shown, played or thumbnailed.
///
/// The image viewer, the video player and the thumbnail creator each write their own path; the
/// library reads them all. Thumbnails are made on worker threads, so every access is locked.
class ShownMediaRecord
{
public:
    void setShownImage(const QString &path);
    QString shownImage() const;

    void setPlayingVideo(const QString &path);
    QString playingVideo() const;

    void setThumbnailInProgress(const QString &path);
    QString thumbnailInProgress() const;

    /// True when `path` is the image shown or the video playing.
    bool isOnScreen(const QString &path) const;

private:
    void store(QString &field, const QString &path);
    QString load(const QString &field) const;

    mutable std::mutex mutex;
    QString image;
    QString video;
    QString thumbnail;
};
