#include "VideoThumbnailGenerator.h"

#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "ShownMediaRecord.h"
#include "VideoStill.h"

#include <ThreadHandOver.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <pthread.h>

#include <utility>

namespace {

// Below this a length is not known (information files of older versions hold 0 or 1).
constexpr qint64 KnownDuration = 2;

// Through a temporary file: the grid never loads half a thumbnail, and a thumbnail that exists
// is never made again.
void savePicture(const QImage &picture, const QString &target)
{
    QDir().mkpath(QFileInfo(target).path());
    QSaveFile file(target);
    if (file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG"))
        file.commit();
}

} // namespace

VideoThumbnailGenerator::VideoThumbnailGenerator(QObject *parent)
    : QObject(parent)
    , store(MediaInfoStore::getInstance())
    , worker(&VideoThumbnailGenerator::run, this)
{ }

VideoThumbnailGenerator::~VideoThumbnailGenerator()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
    // The result the thread posted, if any, goes with this object's posted events.
    if (!current.isEmpty())
        store->shownMedia()->setThumbnailInProgress(QString());
    store->release();
}

void VideoThumbnailGenerator::generate(const QStringList &paths)
{
    queue = paths;
    processNextVideo();
}

void VideoThumbnailGenerator::generateFolder(const QString &folder)
{
    QStringList paths;
    if (!folder.isEmpty()) {
        const QDir shown(folder);
        // Name filters ignore case; hidden files are never listed.
        for (const QString &name : shown.entryList({QStringLiteral("*.avi")}, QDir::Files))
            paths << shown.absoluteFilePath(name);
    }
    generate(paths);
}

void VideoThumbnailGenerator::processNextVideo()
{
    const std::shared_ptr<ShownMediaRecord> record = store->shownMedia();
    while (current.isEmpty() && !queue.isEmpty()) {
        const QString path = queue.takeFirst();
        const QString target = store->thumbnailPath(path);
        // A recording grows until it ends. A file removed before its turn goes to the thread
        // all the same, which finds it gone as it would find it unreadable.
        if (QFileInfo::exists(target) || record->isRecording(path))
            continue;
        current = path;
        // Set before the thread opens the file, so that the library refuses to remove or
        // rename it from now until the thumbnail is done.
        record->setThumbnailInProgress(path);
        {
            std::lock_guard lock(mutex);
            job = path;
            jobTarget = target;
        }
        wake.notify_one();
    }
}

void VideoThumbnailGenerator::run()
{
    pthread_setname_np(pthread_self(), "video-thumbs");
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !job.isEmpty(); });
        if (stopping)
            return;
        const QString path = std::exchange(job, QString());
        const QString target = jobTarget;
        lock.unlock();
        const VideoStill still
                = grabVideoStill(path, FrameAtMs, {ThumbnailSize, ThumbnailSize}, &stopping);
        if (!still.picture.isNull())
            savePicture(still.picture, target);
        lock.lock();
        if (stopping)
            return;
        ThreadHandOver::published();
        QMetaObject::invokeMethod(
                this,
                [this, path, still] {
                    ThreadHandOver::received();
                    finished(path, still);
                },
                Qt::QueuedConnection);
    }
}

void VideoThumbnailGenerator::finished(const QString &path, const VideoStill &still)
{
    current.clear();
    store->shownMedia()->setThumbnailInProgress(QString());
    // The next video decodes while the information, which waits for the disk, is written.
    processNextVideo();
    if (!still.isVideo)
        return;
    MediaImpl media(path, MediaIntf::Video);
    store->readInformation(media);
    // The length is the decoder's best guess; 1 says that it was looked for and not found.
    const qint64 length = qMax<qint64>(still.duration, 1);
    if (media.duration() < KnownDuration && length != media.duration() && QFileInfo::exists(path)) {
        media.setDuration(length);
        // Only the length changes, which the search index does not hold: its commit would wait
        // for the disk, and for the indexing thread while a new folder is being indexed.
        if (store->writeInformationFiles({&media}))
            Q_EMIT durationWritten(path);
    }
    Q_EMIT createThumbnailComplete();
}
