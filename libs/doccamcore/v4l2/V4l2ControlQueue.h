#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

/// Runs a camera's control writes on a thread of its own, one at a time in the order they
/// were queued, so that a control the camera is slow to take (a UVC request can wait for its
/// five-second USB timeout) never holds up the thread that asked for it.
///
/// The thread starts with the first write. Destroying the queue, or finish(), lets the
/// writes already queued run and then ends the thread.
class V4l2ControlQueue
{
public:
    V4l2ControlQueue() = default;
    ~V4l2ControlQueue();
    V4l2ControlQueue(const V4l2ControlQueue &) = delete;
    V4l2ControlQueue &operator=(const V4l2ControlQueue &) = delete;

    void post(std::function<void()> write);
    /// Runs what is queued and ends the thread; later posts are dropped.
    void finish();

private:
    void run();

    std::mutex mutex;
    std::condition_variable queued;
    std::deque<std::function<void()>> writes;
    bool finishing = false;
    std::thread thread;
};
