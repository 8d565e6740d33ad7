#include "RecordingCounter.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>

QString recordingCounterText(int seconds)
{
    seconds = qMax(0, seconds);
    const auto twoDigits = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return QStringLiteral("Recording %1:%2:%3")
            .arg(twoDigits(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

void showRecordButton(QAbstractButton *button, bool recording)
{
    const QString text = recording ? QCoreApplication::translate("ToolsPanel", "Click to stop")
                                   : QCoreApplication::translate("ToolsPanel", "Record");
    button->setChecked(recording);
    button->setText(text);
    button->setToolTip(text);
    button->setIcon(QIcon(recording ? QStringLiteral(":/Image/pics/tools_recordStop.png")
                                    : QStringLiteral(":/Image/pics/tools_record.png")));
}
