#pragma once

#include <QByteArray>

/// A camera shutter: two short clicks of filtered noise, as a 16-bit mono 44.1 kHz WAV file.
/// The noise comes from a fixed-seed generator so every run writes the same bytes.
QByteArray shutterSoundWav();
