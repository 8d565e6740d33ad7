#pragma once

#include <QImage>
#include <QMutex>
#include <QString>
#include <QThread>

class MediaInfoStore;

/// Makes the small picture of one picture file on a thread of its own and saves it as PNG at the
/// file's thumbnail path. A thumbnail that exists is reported as it is and never made again.
///
/// Give it the path, then hand it to the ThreadManager, which starts it when a place is free.
/// Each run emits exactly one of its two signals, from the worker thread.
class MediaThumbnailCreator : public QThread
{
    Q_OBJECT

public:
    /// The largest width and height of a thumbnail, in pixels.
    static constexpr int Side = 60;

    explicit MediaThumbnailCreator(const MediaInfoStore &store, QObject *parent = nullptr);
    ~MediaThumbnailCreator() override;

    void setPath(const QString &path);
    QString path() const;
    /// Whether a run would find a picture file to work on: the manager drops those that lost
    /// theirs while they waited.
    bool hasWork() const;

    /// The picture at `path` decoded at no more than `side` × `side`, upright and with its
    /// aspect ratio kept; null when it cannot be read.
    static QImage readScaled(const QString &path, int side = Side);

Q_SIGNALS:
    void thumbnailCreated(const QString &imagePath);
    void createThumbnailFromImageFailed();

protected:
    void run() override;

private:
    const MediaInfoStore &store;
    mutable QMutex mutex;
    // Guarded by `mutex`: the picture and where its thumbnail goes.
    QString source;
    QString target;
};
