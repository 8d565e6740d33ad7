#include "LongTimers.h"

#include <algorithm>
#include <atomic>
#include <climits>

namespace {
std::atomic<int> millisecondsPerSecond{1000};
} // namespace

namespace LongTimers {

int milliseconds(unsigned seconds)
{
    const long long ms = static_cast<long long>(seconds) * millisecondsPerSecond.load();
    return int(std::min<long long>(ms, INT_MAX));
}

void setMillisecondsPerSecond(int milliseconds)
{
    millisecondsPerSecond = std::max(1, milliseconds);
}

} // namespace LongTimers
