#pragma once

#include <QSet>
#include <QString>

#include <mutex>

/// Which media files are busy on screen or in the background, so that the media library can
/// refuse to delete, rename or move a file that is being shown, played, thumbnailed, recorded
/// or uploaded.
///
/// The image viewer, the video player, the thumbnail creator, the recording and the upload
/// queue each write their own part; the library reads them all. Thumbnails are made on worker
/// threads, so every access is locked.
class ShownMediaRecord
{
public:
    void setShownImage(const QString &path);
    QString shownImage() const;

    void setPlayingVideo(const QString &path);
    QString playingVideo() const;

    void setThumbnailInProgress(const QString &path);
    QString thumbnailInProgress() const;

    /// The file a running recording writes to, empty while none is open. A long recording goes
    /// on in "<name>_2.<suffix>", "<name>_3.<suffix>", ... beside it; those count as recorded too.
    void setRecordingFile(const QString &path);
    QString recordingFile() const;
    /// True when `path` is the file being recorded, one of its later parts, or a folder that
    /// holds them.
    bool isRecording(const QString &path) const;

    /// The files waiting in the upload queue or being uploaded.
    void setUploadQueue(const QSet<QString> &paths);
    bool isInUploadQueue(const QString &path) const;

    /// True when `path` is the image shown or the video playing.
    bool isOnScreen(const QString &path) const;

private:
    void store(QString &field, const QString &path);
    QString load(const QString &field) const;

    mutable std::mutex mutex;
    QString image;
    QString video;
    QString thumbnail;
    QString recording;
    QSet<QString> uploads;
};
