#pragma once

#include <atomic>

/// Marks a hand-over of data between threads through Qt's event queue (a queued call).
///
/// Qt orders a queued call after its posting, but through locks inside Qt that
/// ThreadSanitizer cannot see, so every queued call would look like a data race. Calling
/// published() after preparing the call and received() before using it adds a release/acquire
/// pair on one counter that ThreadSanitizer does see. The cost is one atomic increment.
namespace ThreadHandOver {

inline std::atomic<unsigned> &counter()
{
    static std::atomic<unsigned> handOvers{0};
    return handOvers;
}

/// On the sending thread, after everything the call will read has been written.
inline void published()
{
    counter().fetch_add(1, std::memory_order_release);
}

/// On the receiving thread, before the call reads anything the sender wrote.
inline void received()
{
    (void)counter().load(std::memory_order_acquire);
}

} // namespace ThreadHandOver
