#pragma once

#include <QIODevice>

#include <atomic>

/// Where the level monitor's sound ends up: the capture writes every buffer it reads into this
/// device, which keeps only the level of the buffer and counts the buffers.
///
/// Written on the capture thread; level() and buffersSeen() may be read on any thread without
/// a lock, so the meter's 30 ms tick never waits for the sound.
class AudioGrabCallback : public QIODevice
{
    Q_OBJECT

public:
    AudioGrabCallback();

    /// The level of the last buffer (see AudioLevel::ofMonitorBuffer), 0 before any.
    quint16 level() const { return lastLevel.load(std::memory_order_relaxed); }
    /// How many buffers arrived since the last clear().
    quint64 buffersSeen() const { return buffers.load(std::memory_order_acquire); }
    /// Back to silence, as when the input stops or goes away.
    void clear();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    std::atomic<quint16> lastLevel{0};
    std::atomic<quint64> buffers{0};
};
