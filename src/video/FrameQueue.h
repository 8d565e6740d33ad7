#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

struct AVFrame;

/// Decoded pictures on their way from the decode thread to the presenter, bounded, each with its
/// time and the serial of the seek it belongs to. A reset (a seek) drops what is queued and
/// makes pushes of older serials no-ops.
class FrameQueue
{
public:
    struct Entry
    {
        AVFrame *frame = nullptr; // owned by whoever holds the entry
        qint64 ptsUs = 0;
        quint64 serial = 0;
    };

    explicit FrameQueue(qsizetype capacity);
    ~FrameQueue();

    /// Queues `frame` (taking it) and wakes the presenter. While the queue is full it waits;
    /// when it has waited a while and `mustNotWait()` says the decode thread cannot wait (the
    /// sound would run dry), the oldest picture is dropped and counted instead. False, with the
    /// frame freed, when the serial is no longer current or the queue was aborted.
    bool push(AVFrame *frame, qint64 ptsUs, quint64 serial,
              const std::function<bool()> &mustNotWait);
    /// Takes the oldest picture, waiting at most `waitMs` for one; false when there is none.
    /// The queue counts as drained only after the taker calls done().
    bool pop(Entry *entry, int waitMs);
    /// The picture popped last has been shown or dropped.
    void done();
    /// The time of the picture after the one popped last, or -1 when none is queued.
    qint64 nextPts() const;
    /// No more pictures come for `serial` until the next reset.
    void setEnded(quint64 serial);
    /// True when `serial` is current, has ended and every picture of it was taken and done.
    bool drained(quint64 serial) const;
    quint64 serial() const;
    void reset(quint64 serial);
    /// Wakes every waiter for good; pushes fail from now on.
    void abort();
    /// Pictures dropped because the decode thread could not wait.
    quint64 droppedCount() const;

private:
    void clear();

    mutable std::mutex mutex;
    std::condition_variable notFull;
    std::condition_variable notEmpty;
    std::deque<Entry> entries;
    const qsizetype capacity;
    quint64 currentSerial = 0;
    bool ended = false;
    bool taken = false;
    bool aborted = false;
    quint64 dropped = 0;
};
