#include "V4l2RecoveryTiming.h"

#include <QtGlobal>

#include <algorithm>

namespace {

V4l2RecoveryTiming scaled(int divisor)
{
    V4l2RecoveryTiming timing;
    if (divisor <= 1)
        return timing;
    const auto scale = [divisor](int &ms) {
        ms = std::max(ms / divisor, 1);
    };
    scale(timing.stallMs);
    std::for_each(timing.retryMs.begin(), timing.retryMs.end(), scale);
    scale(timing.backgroundFirstMs);
    scale(timing.backgroundMaxMs);
    return timing;
}

} // namespace

const V4l2RecoveryTiming &V4l2RecoveryTiming::current()
{
    static const V4l2RecoveryTiming timing
            = scaled(qEnvironmentVariableIntValue("VELORA_V4L2_TIME_DIVISOR"));
    return timing;
}
