#pragma once

#include <array>

/// How long the V4L2 backend lets a camera send nothing before it restarts it, and how long it
/// waits between attempts to reopen a camera that would not restart.
struct V4l2RecoveryTiming
{
    /// A UVC camera stalls after some USB hiccups; reopening it brings it back.
    int stallMs = 3000;
    /// On the capture thread: one reopen at once, then one after each of these waits.
    std::array<int, 3> retryMs{250, 1000, 3000};
    /// Then in the background, after the camera was reported removed: waits that double from the
    /// first up to the last.
    int backgroundFirstMs = 1000;
    int backgroundMaxMs = 10000;

    /// The timing in force: these values divided by VELORA_V4L2_TIME_DIVISOR when it is set
    /// (read once), so that a test of a stalled camera does not wait for seconds.
    static const V4l2RecoveryTiming &current();
};
