#include "V4l2ControlQueue.h"

#include <pthread.h>

V4l2ControlQueue::~V4l2ControlQueue()
{
    finish();
}

void V4l2ControlQueue::post(std::function<void()> write)
{
    std::lock_guard lock(mutex);
    if (finishing)
        return;
    writes.push_back(std::move(write));
    if (!thread.joinable())
        thread = std::thread([this] { run(); });
    queued.notify_one();
}

void V4l2ControlQueue::finish()
{
    std::thread ending;
    {
        std::lock_guard lock(mutex);
        finishing = true;
        ending = std::move(thread);
        queued.notify_one();
    }
    if (ending.joinable())
        ending.join();
}

void V4l2ControlQueue::run()
{
    pthread_setname_np(pthread_self(), "velora-controls");
    std::unique_lock lock(mutex);
    for (;;) {
        queued.wait(lock, [this] { return finishing || !writes.empty(); });
        if (writes.empty())
            return;
        std::function<void()> write = std::move(writes.front());
        writes.pop_front();
        // The next write may be queued while this one waits for the camera.
        lock.unlock();
        write();
        lock.lock();
    }
}
