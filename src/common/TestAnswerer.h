#pragma once

#include <mutex>

/// Where a dialog seam keeps the function a test answers with in place of a person: set from
/// the test's thread, read wherever the dialog would have been shown.
template<typename Answerer> class TestAnswerer
{
public:
    void set(Answerer answerer)
    {
        std::lock_guard lock(mutex);
        current = std::move(answerer);
    }
    /// A copy, so that a test replacing it meanwhile cannot pull it from under a caller.
    Answerer get() const
    {
        std::lock_guard lock(mutex);
        return current;
    }

private:
    mutable std::mutex mutex;
    Answerer current;
};
