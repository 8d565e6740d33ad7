#pragma once

#include <QtGlobal>

#include <atomic>

/// Where the level monitor's sound ends up: keeps only the level of each buffer it receives and
/// counts the buffers.
///
/// Fed on the capture thread; level() and buffersSeen() may be read on any thread without a
/// lock, so the meter's 30 ms tick never waits for the sound.
class AudioGrabCallback
{
public:
    /// One buffer of interleaved 16-bit stereo samples.
    void receive(const char *data, qsizetype bytes);

    /// The level of the last buffer (see AudioLevel::ofMonitorBuffer), 0 before any.
    quint16 level() const { return lastLevel.load(std::memory_order_relaxed); }
    /// How many buffers arrived since the last clear().
    quint64 buffersSeen() const { return buffers.load(std::memory_order_acquire); }
    /// Back to silence, as when the input stops or goes away.
    void clear();

private:
    std::atomic<quint16> lastLevel{0};
    std::atomic<quint64> buffers{0};
};
