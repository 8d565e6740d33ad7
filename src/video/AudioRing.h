#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <condition_variable>
#include <mutex>

/// Sound samples, already in the audio output's format, on their way from the decode thread to
/// the audio output: a bounded byte ring that knows the time of its first byte. Like FrameQueue
/// it belongs to one seek serial at a time.
class AudioRing
{
public:
    AudioRing(qsizetype capacityBytes, qint64 bytesPerSecond);

    /// Appends `bytes`, waiting for room; `ptsUs` is the time of their first sample and sets the
    /// ring's time when it is empty. False when the serial is no longer current or the ring was
    /// aborted.
    bool write(const char *data, qsizetype bytes, qint64 ptsUs, quint64 serial);
    /// Takes up to `maxBytes` (whole sample frames, `frameBytes` each) without waiting. Gives
    /// the serial they belong to and the time of the first byte taken.
    qsizetype read(char *out, qsizetype maxBytes, int frameBytes, quint64 *serial, qint64 *ptsUs);
    /// Microseconds of sound waiting.
    qint64 bufferedUs() const;
    void setEnded(quint64 serial);
    /// True when `serial` is current, has ended and every byte of it was read.
    bool drained(quint64 serial) const;
    quint64 serial() const;
    void reset(quint64 serial);
    void abort();

private:
    mutable std::mutex mutex;
    std::condition_variable notFull;
    QByteArray buffer;
    qsizetype head = 0;
    qsizetype size = 0;
    const qint64 bytesPerSecond;
    qint64 headPtsUs = 0;
    quint64 currentSerial = 0;
    bool ended = false;
    bool aborted = false;
};
