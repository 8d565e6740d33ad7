#pragma once

/// The recording component's action status bits, as the tool strip, the widget-mode bar and the
/// tray indicator read them.
namespace RecordingStatus {
/// A recording may be started now.
constexpr unsigned MayStart = 0x1;
/// A recording exists, running or paused.
constexpr unsigned Exists = 0x2;
/// The recording is running, not paused.
constexpr unsigned Running = 0x4;
} // namespace RecordingStatus
