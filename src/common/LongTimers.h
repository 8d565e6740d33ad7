#pragma once

/// The length of the application's long timers (time-lapse shots, scheduled uploads), which
/// run for minutes or hours. Every such timer takes its milliseconds from here so that a test
/// can shrink a second and run an hour-long series in a moment; nothing else changes it.
namespace LongTimers {

/// Timer milliseconds for `seconds` of real time.
int milliseconds(unsigned seconds);

/// How many timer milliseconds a second lasts (1000 unless a test says otherwise).
void setMillisecondsPerSecond(int milliseconds);

} // namespace LongTimers
