#pragma once

#include <QtGlobal>

/// Input levels as the level meters show them: an integer percentage, 0 for silence.
namespace AudioLevel {

/// The monitor's level of one sample: 20 × log10(sample) − 40 dB scaled so that 60 dB above
/// the floor is 100, truncated; 0 for non-positive samples and for samples at or below 40 dB
/// (100). A full-scale sample (32,767) gives 83.
quint16 ofMonitorSample(qint16 sample);

/// The monitor's level of a buffer of interleaved 16-bit stereo samples: the level of the last
/// first-channel sample, 0 for a buffer that holds no whole frame.
quint16 ofMonitorBuffer(const char *data, qsizetype bytes);

/// The level a recording shows of one captured sound buffer (8,000 Hz, 16-bit stereo, 4,096
/// bytes): samples 0, 10, 20, … up to 2,040 taken as unsigned 16-bit values, where a value
/// from 10,001 to 64,999 gives value × 100 / 65,535 and any other 0; the last sample looked at
/// sets the level. Shorter buffers are looked at as far as they go.
quint16 ofRecordingBuffer(const char *data, qsizetype bytes);

} // namespace AudioLevel
