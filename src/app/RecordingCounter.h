#pragma once

#include <QString>

class QAbstractButton;

/// The tray menu's recording counter: "Recording HH:MM:SS", each number padded to two digits;
/// hours keep counting past 99 rather than wrapping.
QString recordingCounterText(int seconds);

/// A record button as the tool strip and the widget-mode bar show it: pressed with "Click to stop"
/// and the stop picture while a recording exists, "Record" otherwise.
void showRecordButton(QAbstractButton *button, bool recording);
