#include "ThreadManager.h"

#include "MediaThumbnailCreator.h"

#include <chrono>

namespace {

// How long the loop sleeps when no creator has finished to wake it.
constexpr int PollMilliseconds = 50;

} // namespace

ThreadManager::ThreadManager()
{
    setObjectName(QStringLiteral("thumbnails"));
}

ThreadManager::~ThreadManager()
{
    stop();
    wait();
    // QThread::wait() returns on a flag ThreadSanitizer cannot see: each lock taken here after a
    // wait orders the other thread's last unlock before what follows.
    QList<MediaThumbnailCreator *> left;
    {
        const std::lock_guard lock(mutex);
        left = abandoned;
    }
    // Each stops within one picture; none outlives the manager.
    for (MediaThumbnailCreator *creator : std::as_const(left))
        creator->wait();
    const std::lock_guard lock(mutex);
}

void ThreadManager::addThread(MediaThumbnailCreator *creator)
{
    const std::lock_guard lock(mutex);
    if (!creator || stopping)
        return;
    pending.append(creator);
    if (looping) {
        changed.notify_all();
        return;
    }
    // The loop may be between deciding to end and ending: let it end, then start it again.
    wait();
    looping = true;
    start();
}

void ThreadManager::removeThread(MediaThumbnailCreator *creator)
{
    const std::lock_guard lock(mutex);
    pending.removeAll(creator);
    abandoned.removeAll(creator);
    forgetRunning(creator);
}

bool ThreadManager::withdraw(MediaThumbnailCreator *creator)
{
    const std::lock_guard lock(mutex);
    return pending.removeAll(creator) > 0;
}

void ThreadManager::forgetRunning(MediaThumbnailCreator *creator)
{
    const qsizetype at = running.lastIndexOf(creator);
    if (at >= 0)
        running.removeAt(at);
    ending.removeAll(creator);
    if (!running.contains(creator))
        disconnect(endSignals.take(creator));
}

void ThreadManager::stop()
{
    const std::lock_guard lock(mutex);
    if (looping) {
        stopping = true;
        changed.notify_all();
    }
}

int ThreadManager::runningCount() const
{
    const std::lock_guard lock(mutex);
    return running.size();
}

int ThreadManager::pendingCount() const
{
    const std::lock_guard lock(mutex);
    return pending.size();
}

bool ThreadManager::startPending()
{
    bool started = false;
    while (running.size() < MaxRunning && !pending.isEmpty()) {
        MediaThumbnailCreator *next = pending.takeFirst();
        // A picture deleted while it waited is dropped rather than tried.
        if (!next || !next->hasWork())
            continue;
        // A creator ending wakes the loop at once rather than at its next poll. Direct: the
        // manager's own thread is asleep in the loop and the GUI thread may be busy.
        endSignals.insert(next,
                          connect(
                                  next, &QThread::finished, this,
                                  [this, next] {
                                      const std::lock_guard endLock(mutex);
                                      if (running.contains(next)) {
                                          ending.append(next);
                                          changed.notify_all();
                                      }
                                  },
                                  Qt::DirectConnection));
        next->start(QThread::LowPriority);
        running.append(next);
        started = true;
    }
    return started;
}

void ThreadManager::dropFinished()
{
    // A creator has said it ends just before its thread does: wait out that moment so that the
    // count never runs ahead of the threads. Its last words are said, so it needs no lock.
    for (MediaThumbnailCreator *creator : std::exchange(ending, {})) {
        creator->wait();
        forgetRunning(creator);
    }
    for (MediaThumbnailCreator *creator : QList(running)) {
        if (creator->isFinished())
            forgetRunning(creator);
    }
}

void ThreadManager::run()
{
    std::unique_lock lock(mutex);
    while ((!pending.isEmpty() || !running.isEmpty()) && !stopping) {
        const bool started = startPending();
        const qsizetype before = running.size();
        dropFinished();
        // Finished creators made room: fill it before sleeping.
        if (running.size() < before && !pending.isEmpty())
            continue;
        if (!started)
            changed.wait_for(lock, std::chrono::milliseconds(PollMilliseconds));
    }
    pending.clear();
    // Not waited for here: a creator's last words take the lock. The destructor joins them.
    for (MediaThumbnailCreator *creator : QList(running)) {
        creator->requestInterruption();
        forgetRunning(creator);
        abandoned.append(creator);
    }
    stopping = false;
    looping = false;
}
