#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

/// The files of shown folders still waiting to enter the search index, and the thread that
/// hands them to the index a chunk at a time, so that a folder of thousands of new files never
/// holds up the window for more than one chunk.
///
/// The index calls every method but the thread's own with its database mutex held, and the
/// thread's `writeNext` takes that mutex before take(): a file is thus either in the index or
/// waiting here, never in between, whatever the window does to the index meanwhile.
class FolderIndexer
{
public:
    struct Chunk
    {
        QString dirPath;
        QStringList names;
    };

    /// `writeNext` runs on the thread whenever files wait.
    explicit FolderIndexer(std::function<void()> writeNext);
    /// Drops what still waits: the folder's next showing finds those files again.
    ~FolderIndexer();

    /// The files of `dirPath` that are to be indexed, replacing what waited for that folder.
    void queue(const QString &dirPath, const QStringList &names);
    /// Takes the file out of the queue; true when it was waiting.
    bool forget(const QString &dirPath, const QString &name);
    /// Takes the folder, and the folders below it, out of the queue.
    void forgetFolder(const QString &dirPath);
    /// What waits for `from` and the folders below it waits under `to` instead.
    void moveFolder(const QString &from, const QString &to);
    /// Up to `most` files of one folder, taken out of the queue.
    Chunk take(qsizetype most);
    /// Nothing waits and no chunk is being written.
    bool isIdle();

private:
    void run();
    static bool inFolder(const QString &dirPath, const QString &folder);

    std::function<void()> writeNext;
    std::mutex mutex;
    std::condition_variable wake;
    QHash<QString, QStringList> waiting;
    bool stopping = false;
    bool writing = false;
    std::thread thread;
};
