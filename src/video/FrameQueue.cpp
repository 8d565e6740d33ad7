#include "FrameQueue.h"

#include <FfmpegHandles.h>

#include <chrono>

namespace {

// How often a push blocked on a full queue asks again whether it may wait.
constexpr std::chrono::milliseconds RecheckInterval{20};
// A push asks whether it must not wait only once it has waited this long: a presenter that is
// merely slow to start takes pictures again well within it.
constexpr std::chrono::milliseconds StallTime{250};

} // namespace

FrameQueue::FrameQueue(qsizetype capacity)
    : capacity(capacity)
{ }

FrameQueue::~FrameQueue()
{
    clear();
}

void FrameQueue::clear()
{
    for (Entry &entry : entries)
        av_frame_free(&entry.frame);
    entries.clear();
}

bool FrameQueue::push(AVFrame *frame, qint64 ptsUs, quint64 serial,
                      const std::function<bool()> &mustNotWait)
{
    std::unique_lock lock(mutex);
    const auto since = std::chrono::steady_clock::now();
    while (!aborted && serial == currentSerial && qsizetype(entries.size()) >= capacity) {
        if (mustNotWait && std::chrono::steady_clock::now() - since >= StallTime && mustNotWait()) {
            av_frame_free(&entries.front().frame);
            entries.pop_front();
            ++dropped;
            break;
        }
        notFull.wait_for(lock, RecheckInterval);
    }
    if (aborted || serial != currentSerial) {
        av_frame_free(&frame);
        return false;
    }
    entries.push_back({frame, ptsUs, serial});
    notEmpty.notify_all();
    return true;
}

bool FrameQueue::pop(Entry *entry, int waitMs)
{
    std::unique_lock lock(mutex);
    if (entries.empty() && !aborted)
        notEmpty.wait_for(lock, std::chrono::milliseconds(waitMs));
    if (entries.empty())
        return false;
    *entry = entries.front();
    entries.pop_front();
    taken = true;
    notFull.notify_all();
    return true;
}

void FrameQueue::done()
{
    std::lock_guard lock(mutex);
    taken = false;
}

qint64 FrameQueue::nextPts() const
{
    std::lock_guard lock(mutex);
    return entries.empty() ? -1 : entries.front().ptsUs;
}

void FrameQueue::setEnded(quint64 serial)
{
    std::lock_guard lock(mutex);
    if (serial == currentSerial)
        ended = true;
    notEmpty.notify_all();
}

bool FrameQueue::drained(quint64 serial) const
{
    std::lock_guard lock(mutex);
    return serial == currentSerial && ended && entries.empty() && !taken;
}

quint64 FrameQueue::serial() const
{
    std::lock_guard lock(mutex);
    return currentSerial;
}

void FrameQueue::reset(quint64 serial)
{
    std::lock_guard lock(mutex);
    clear();
    currentSerial = serial;
    ended = false;
    notFull.notify_all();
    notEmpty.notify_all();
}

void FrameQueue::abort()
{
    std::lock_guard lock(mutex);
    aborted = true;
    clear();
    notFull.notify_all();
    notEmpty.notify_all();
}

quint64 FrameQueue::droppedCount() const
{
    std::lock_guard lock(mutex);
    return dropped;
}
