#include "FolderIndexer.h"

#include <pthread.h>

FolderIndexer::FolderIndexer(std::function<void()> writeNext)
    : writeNext(std::move(writeNext))
{ }

FolderIndexer::~FolderIndexer()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
        waiting.clear();
    }
    wake.notify_all();
    // At most the chunk being written is waited for.
    if (thread.joinable())
        thread.join();
}

bool FolderIndexer::inFolder(const QString &dirPath, const QString &folder)
{
    if (dirPath == folder)
        return true;
    return folder.endsWith(u'/') ? dirPath.startsWith(folder) : dirPath.startsWith(folder + u'/');
}

void FolderIndexer::queue(const QString &dirPath, const QStringList &names)
{
    {
        std::lock_guard lock(mutex);
        if (names.isEmpty()) {
            waiting.remove(dirPath);
            return;
        }
        waiting.insert(dirPath, names);
        if (!thread.joinable())
            thread = std::thread([this] { run(); });
    }
    wake.notify_one();
}

bool FolderIndexer::forget(const QString &dirPath, const QString &name)
{
    std::lock_guard lock(mutex);
    const auto folder = waiting.find(dirPath);
    if (folder == waiting.end() || !folder->removeOne(name))
        return false;
    if (folder->isEmpty())
        waiting.erase(folder);
    return true;
}

void FolderIndexer::forgetFolder(const QString &dirPath)
{
    std::lock_guard lock(mutex);
    waiting.removeIf([&dirPath](const auto &folder) { return inFolder(folder.key(), dirPath); });
}

void FolderIndexer::moveFolder(const QString &from, const QString &to)
{
    std::lock_guard lock(mutex);
    QHash<QString, QStringList> moved;
    for (auto folder = waiting.begin(); folder != waiting.end();) {
        if (inFolder(folder.key(), from)) {
            moved.insert(to + folder.key().mid(from.size()), folder.value());
            folder = waiting.erase(folder);
        } else {
            ++folder;
        }
    }
    waiting.insert(moved);
}

FolderIndexer::Chunk FolderIndexer::take(qsizetype most)
{
    std::lock_guard lock(mutex);
    Chunk chunk;
    const auto folder = waiting.begin();
    if (folder == waiting.end())
        return chunk;
    chunk.dirPath = folder.key();
    QStringList &names = folder.value();
    const qsizetype count = qMin(most, names.size());
    chunk.names = names.sliced(names.size() - count);
    names.resize(names.size() - count);
    if (names.isEmpty())
        waiting.erase(folder);
    return chunk;
}

bool FolderIndexer::isIdle()
{
    std::lock_guard lock(mutex);
    return waiting.isEmpty() && !writing;
}

void FolderIndexer::run()
{
    pthread_setname_np(pthread_self(), "velora-indexer");
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !waiting.isEmpty(); });
        if (stopping)
            return;
        writing = true;
        lock.unlock();
        writeNext();
        lock.lock();
        writing = false;
    }
}
