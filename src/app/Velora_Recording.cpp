// The recording indicator in the system tray: a counter, Stop, Mute and Pause while a recording
// exists.

#include "RecordingCounter.h"
#include "ToolsPanel.h"
#include "Velora.h"

#include <LogModule.h>
#include <RecordingStatus.h>

#include <QCursor>
#include <QFileInfo>
#include <QMenu>

namespace {

const LogModule recordingLog("velora/mainWindow");

/// The reason of a forced stop whose files are not worth announcing.
constexpr int RecordingDiscarded = -4001;

} // namespace

void Velora::wireRecordingIndicator()
{
    trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/Image/Tray_Record")), this);
    trayIcon->setToolTip(tr("Click to stop"));
    trayMenu = new QMenu(this);
    counterAction = new QAction(QStringLiteral("recording 00:00:00"), this);
    counterAction->setEnabled(false);
    stopRecordAction = new QAction(tr("Stop Record"), this);
    muteAction = new QAction(tr("Mute"), this);
    muteAction->setCheckable(true);
    pauseAction = new QAction(tr("Pause"), this);
    pauseAction->setCheckable(true);
    trayMenu->addAction(counterAction);
    trayMenu->addAction(stopRecordAction);
    trayMenu->addAction(muteAction);
    trayMenu->addAction(pauseAction);
    trayIcon->setContextMenu(trayMenu);
    recordingTimer.setInterval(1000);

    connect(trayIcon, &QSystemTrayIcon::activated, this, &Velora::recordStopTrayTriggered);
    connect(&recordingTimer, &QTimer::timeout, this, &Velora::recordingCounterCount);
    connect(stopRecordAction, &QAction::triggered, this, &Velora::stopRecord);
    connect(muteAction, &QAction::triggered, this, &Velora::muteUnmuteRecord);
    connect(pauseAction, &QAction::triggered, this, &Velora::playPauseRecord);
}

void Velora::startRecording()
{
    muteAction->setChecked(false);
    pauseAction->setChecked(false);
    trayIcon->show();
    trayIcon->showMessage(tr("Hint"), tr("Stop or Pause record here."),
                          QSystemTrayIcon::Information, 10000);
    recordingTimer.start();
}

void Velora::stopRecord()
{
    if (!(recordingStatus & RecordingStatus::Exists))
        return;
    clearRecordingIndicator();
}

void Velora::recordForceStopped(int reason, const QList<QString> &files)
{
    clearRecordingIndicator();
    if (reason == RecordingDiscarded || files.isEmpty())
        return;
    for (const QString &file : files) {
        if (!QFileInfo::exists(file)) {
            recordingLog.log(3, "Velora::recordForceStopped - %s is missing; nothing announced",
                             qPrintable(file));
            return;
        }
    }
}

void Velora::recordForceStopped(int reason)
{
    recordForceStopped(reason, {});
}

void Velora::recordingStatusChangedUI(uint status)
{
    recordingStatus = status;
    pauseAction->setChecked(!(status & RecordingStatus::Running));
}

void Velora::muteUnmuteRecord(bool mute)
{
    muteAction->setChecked(mute);
}

void Velora::playPauseRecord(bool pause)
{
    pauseAction->setChecked(pause);
    if (pause)
        recordingTimer.stop();
    else
        recordingTimer.start();
}

void Velora::recordingCounterCount()
{
    ++recordingSeconds;
    counterAction->setText(recordingCounterText(recordingSeconds));
}

void Velora::recordStopTrayTriggered(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        trayMenu->popup(QCursor::pos());
}

void Velora::clearRecordingIndicator()
{
    trayIcon->hide();
    recordingTimer.stop();
    recordingSeconds = 0;
    counterAction->setText(recordingCounterText(0));
}
