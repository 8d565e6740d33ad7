#pragma once

#include <QString>

/// The tray menu's recording counter: "Recording HH:MM:SS", each number padded to two digits;
/// hours keep counting past 99 rather than wrapping.
QString recordingCounterText(int seconds);
