#include "AudioLevel.h"

#include <QtEndian>

#include <cmath>

namespace AudioLevel {

quint16 ofMonitorSample(qint16 sample)
{
    if (sample <= 0)
        return 0;
    const double decibels = 20.0 * std::log10(double(sample)) - 40.0;
    if (decibels < 0)
        return 0;
    return quint16(decibels * 100.0 / 60.0);
}

quint16 ofMonitorBuffer(const char *data, qsizetype bytes)
{
    constexpr qsizetype FrameBytes = 2 * sizeof(qint16);
    const qsizetype frames = bytes / FrameBytes;
    // Every first-channel sample would overwrite the one before, so only the last one counts.
    if (frames == 0)
        return 0;
    return ofMonitorSample(qFromLittleEndian<qint16>(data + (frames - 1) * FrameBytes));
}

quint16 ofRecordingBuffer(const char *data, qsizetype bytes)
{
    constexpr qsizetype LastPosition = 2040;
    constexpr qsizetype Step = 10;
    const qsizetype samples = bytes / qsizetype(sizeof(quint16));
    if (samples == 0)
        return 0;
    const qsizetype last = std::min(LastPosition, (samples - 1) / Step * Step);
    const quint32 value = qFromLittleEndian<quint16>(data + last * sizeof(quint16));
    if (value < 10001 || value > 64999)
        return 0;
    return quint16(value * 100 / 65535);
}

} // namespace AudioLevel
