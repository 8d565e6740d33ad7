#pragma once

#include <QObject>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class MediaInfoStore;
struct VideoStill;

/// Makes the thumbnails of videos, one video at a time, by decoding the frame at three seconds
/// (the first frame of a shorter video) on a thread of its own. While a video is being done it
/// is the store's thumbnail in progress, which the library will not remove or rename; a video
/// whose information holds no length gets the one found on the way.
///
/// Videos that have a thumbnail, no longer exist, are being recorded or cannot be decoded are
/// passed over.
class VideoThumbnailGenerator : public QObject
{
    Q_OBJECT

public:
    /// The frame of a video long enough to be past its opening titles.
    static constexpr qint64 FrameAtMs = 3000;
    /// The largest width and height of a thumbnail.
    static constexpr int ThumbnailSize = 60;

    explicit VideoThumbnailGenerator(QObject *parent = nullptr);
    /// Abandons the video under way and joins the thread promptly; nothing is emitted afterwards.
    ~VideoThumbnailGenerator() override;

    /// GUI thread. These videos, in this order, replace those still waiting.
    void generate(const QStringList &paths);
    /// GUI thread. The same for the AVI files of `folder`; an empty folder path only empties
    /// the queue.
    void generateFolder(const QString &folder);

Q_SIGNALS:
    /// After each video that could be decoded, whether or not a frame came out of it.
    void createThumbnailComplete();
    /// The length of the video at `path` was written into its information file.
    void durationWritten(const QString &path);

private:
    void processNextVideo();
    void finished(const QString &path, const VideoStill &still);
    void run();

    MediaInfoStore *store;
    // GUI thread only: the videos waiting, and the one the worker has (empty when idle).
    QStringList queue;
    QString current;

    std::mutex mutex;
    std::condition_variable wake;
    // Guarded by `mutex`: the video handed to the worker and where its thumbnail goes.
    QString job;
    QString jobTarget;
    std::atomic<bool> stopping{false};
    std::thread worker;
};
