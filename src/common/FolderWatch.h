#pragma once

#include <QString>

#include <atomic>

/// Says, without a system call, whether anything in a folder may have changed since the last
/// look. The kernel reports a change in the folder (inotify) by raising SIGIO in this process
/// before the call that made the change returns, so a change made by this process, or by another
/// process that has since told this one anything at all, is always seen at the next look. A
/// folder that cannot be watched is always reported as changed.
class FolderWatch
{
public:
    explicit FolderWatch(const QString &folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;

    /// True when something in the folder may have changed since the last call that said so.
    bool takeChange()
    {
        if (descriptor >= 0 && signalsRaised.load(std::memory_order_acquire) == signalsSeen)
            return false;
        return drain();
    }

private:
    static bool installHandler();
    bool drain();

    int descriptor = -1;
    unsigned signalsSeen = 0;
    static std::atomic<unsigned> signalsRaised;
    static_assert(std::atomic<unsigned>::is_always_lock_free, "counted in a signal handler");
};
