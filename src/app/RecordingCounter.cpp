#include "RecordingCounter.h"

QString recordingCounterText(int seconds)
{
    seconds = qMax(0, seconds);
    const auto twoDigits = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return QStringLiteral("Recording %1:%2:%3")
            .arg(twoDigits(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}
