#pragma once

#include <SharedComponent.h>

#include <QHash>
#include <QList>
#include <QThread>

#include <condition_variable>
#include <mutex>

class MediaThumbnailCreator;

/// Runs the thumbnail creators of the whole process, at most three at a time, in the order they
/// were added, so that a folder of thousands of pictures never starts thousands of threads.
///
/// It does not own the creators: whoever adds one removes it before deleting it. A creator
/// removed while it runs goes on to its end. Destruction stops the loop and waits for the
/// creators still running, so none outlives the manager.
///
/// One manager per process: getInstance() and release().
class ThreadManager : public QThread, public SharedComponent<ThreadManager>
{
    Q_OBJECT
    friend SharedComponent;

public:
    static constexpr int MaxRunning = 3;

    void release() { releaseShared(); }

    /// Queues `creator` behind those already waiting and starts the loop if it is idle. Ignored
    /// while the manager stops.
    void addThread(MediaThumbnailCreator *creator);
    /// Forgets `creator`, waiting or running; after this the manager never touches it again.
    void removeThread(MediaThumbnailCreator *creator);
    /// Takes `creator` back if it has not started yet; true when it had not.
    bool withdraw(MediaThumbnailCreator *creator);
    /// Ends the loop: waiting creators are dropped and running ones asked to stop.
    void stop();

    /// Creators started and not yet seen finished.
    int runningCount() const;
    int pendingCount() const;

protected:
    void run() override;

private:
    ThreadManager();
    ~ThreadManager() override;

    /// Starts waiting creators into the free places; false when none could start.
    bool startPending();
    /// Takes the creators that ended out of the running list.
    void dropFinished();
    void forgetRunning(MediaThumbnailCreator *creator);

    // Standard rather than Qt's: ThreadSanitizer cannot see a QWaitCondition hand a QMutex over
    // inside Qt, and would take the next lock of it for a second one.
    mutable std::mutex mutex;
    std::condition_variable changed;
    // Guarded by `mutex`.
    QList<MediaThumbnailCreator *> running;
    QList<MediaThumbnailCreator *> pending;
    // Running creators that said they end, and the connections by which they say it.
    QList<MediaThumbnailCreator *> ending;
    QHash<MediaThumbnailCreator *, QMetaObject::Connection> endSignals;
    // Creators still running when the loop stopped, joined by the destructor.
    QList<MediaThumbnailCreator *> abandoned;
    bool stopping = false;
    bool looping = false;
};
