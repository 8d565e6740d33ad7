#pragma once

/// The recording component's action status, from which the tool strip, the widget-mode bar and
/// the recording indicator set their controls: bit 1 means a recording may start, bit 2 that
/// one exists (running or paused).
///
/// The values do not tell a paused recording from a running one (a start and a pause both give
/// Recording), so whoever shows Pause keeps that state from the pauses it asked for.
namespace RecordingStatus {
/// A recording may be started now.
constexpr unsigned MayStart = 0x1;
/// A recording exists, running or paused.
constexpr unsigned Exists = 0x2;

constexpr unsigned Idle = MayStart;
/// Just started, or paused.
constexpr unsigned Recording = Exists | 0x4;
constexpr unsigned Resumed = Exists | 0x8;
} // namespace RecordingStatus
