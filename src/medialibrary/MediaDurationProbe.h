#pragma once

#include <QObject>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

/// A media file's length in milliseconds from its container header; 0 when unknown (missing,
/// unreadable, not media, or a recording whose header does not hold its length yet). Reads a
/// bounded amount of the file whatever its size or damage. A set `stop` abandons the work at the
/// next read and gives 0.
qint64 probeMediaDuration(const QString &path, const std::atomic<bool> *stop = nullptr);

/// Measures durations on a thread of its own, one file at a time, newest request first, so the
/// files of the folder being looked at come before those of folders left behind.
class DurationProbeQueue : public QObject
{
    Q_OBJECT
public:
    explicit DurationProbeQueue(QObject *parent = nullptr);
    /// Stops and joins the thread promptly, abandoning a probe under way; nothing is emitted
    /// afterwards.
    ~DurationProbeQueue() override;

    /// GUI thread. A path already asked for and not yet answered is not queued twice; asked for
    /// again while it waits, it moves to the front.
    void request(const QString &path);
    /// GUI thread. Drops every waiting request; answers still on their way are not emitted.
    void clear();

Q_SIGNALS:
    /// On the queue's thread (GUI), once per request; 0 = unknown.
    void durationProbed(const QString &path, qint64 milliseconds);

private:
    void run();
    void deliver(const QString &path, qint64 milliseconds, quint64 generation);

    std::mutex mutex;
    std::condition_variable wake;
    // Guarded by `mutex`: paths to probe, newest first; paths asked for and not yet answered
    // (waiting, being probed or on their way to the GUI thread); the count of clear() calls.
    QStringList waiting;
    QSet<QString> unanswered;
    quint64 generation = 0;
    std::atomic<bool> stopping{false};
    std::thread worker;
};
