// Recording from the main window: the record buttons and the countdown, the recording indicator
// (a tray icon, or a small bar where the desktop has no tray) with its counter, Stop, Mute and
// Pause, and the files a finished recording leaves.

#include "RecordingControlBar.h"
#include "RecordingCounter.h"
#include "SleepWatcher.h"
#include "ToolsPanel.h"
#include "Velora.h"
#include "WidgetModeToolBar.h"

#include <LogModule.h>
#include <MediaInfoStore.h>
#include <MediaLibraryIntf.h>
#include <RecordingIntf.h>
#include <RecordingStarter.h>
#include <RecordingStatus.h>
#include <ShownMediaRecord.h>

#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>

namespace {

const LogModule recordingLog("velora/mainWindow");

} // namespace

void Velora::wireRecording()
{
    recording = RecordingIntf::getInstance();
    recording->setRecordedWindow(this);
    toolsPanel->setRecordingAvailable(true);
    widgetModeToolBar->setRecordingAvailable(true);

    connect(toolsPanel, &ToolsPanel::startRecordingRequested, this, &Velora::showRecordingStarter);
    connect(widgetModeToolBar.get(), &WidgetModeToolBar::startRecordingRequested, this,
            &Velora::showRecordingStarter);
    connect(widgetModeToolBar.get(), &WidgetModeToolBar::stopRecordRequested, this,
            &Velora::stopRecord);
    connect(recording, &RecordingIntf::actionStatusChanged, toolsPanel,
            &ToolsPanel::recordUIChangedWithStatus);
    connect(recording, &RecordingIntf::actionStatusChanged, widgetModeToolBar.get(),
            &WidgetModeToolBar::recordUIChangedWithStatus);
    connect(recording, &RecordingIntf::actionStatusChanged, this,
            &Velora::recordingStatusChangedUI);
    connect(recording, &RecordingIntf::recordStopped, this,
            qOverload<int, const QList<QString> &>(&Velora::recordForceStopped));
    // The media library refuses to delete, rename or move the file being recorded: Linux would
    // let it, and the recording would go on into a file nobody can see.
    connect(recording, &RecordingIntf::actionStatusChanged, this, [this](uint status) {
        mediaInfo->shownMedia()->setRecordingFile(
                status & RecordingStatus::Exists ? recording->recordingFile() : QString());
    });
    // A closed lid ends the recording with its file finished; the machine waits for that while
    // a recording exists.
    sleepWatcher = new SleepWatcher(this);
    connect(sleepWatcher, &SleepWatcher::sleepComing, this, &Velora::stopRecordForSession);
    const uint status = recording->getActionStatus();
    toolsPanel->recordUIChangedWithStatus(status);
    widgetModeToolBar->recordUIChangedWithStatus(status);
    recordingStatusChangedUI(status);

    // Asked before any later component's question: a presenter who agrees to end the recording
    // has its file kept even when a later question keeps the window open.
    addExitQuery({[this] {
                      QList<QString> files;
                      const ResultCode answer = recording->confirmExit(&files);
                      if (answer >= 0)
                          recordForceStopped(answer, files);
                      return answer;
                  },
                  {Result::Success, RecordingResult::StopFailedOnExit}});
}

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

    // Without a tray (stock GNOME among others) the same controls stand in a bar of their own.
    // It has no parent, so that it stays up while the window is away in widget mode.
    controlBar = std::make_unique<RecordingControlBar>();
    connect(controlBar.get(), &RecordingControlBar::stopRequested, this, &Velora::stopRecord);
    connect(controlBar.get(), &RecordingControlBar::muteRequested, this, &Velora::muteUnmuteRecord);
    connect(controlBar.get(), &RecordingControlBar::pauseRequested, this, &Velora::playPauseRecord);
}

void Velora::showRecordingStarter()
{
    if (starter)
        return;
    // In widget mode the window is away and the countdown covers the screen being recorded.
    starter = new RecordingStarter(inWidgetMode, this);
    if (inWidgetMode) {
        starter->setGeometry(widgetModeToolBar->screen()->geometry());
    } else {
        starter->setGeometry(frameGeometry());
        connect(this, &Velora::veloraMoved, starter.data(), &RecordingStarter::veloraMoved);
    }
    connect(starter.data(), &RecordingStarter::startRecording, this, &Velora::recordingStarterDone);
    starter->show();
}

void Velora::recordingStarterDone(bool start)
{
    bool started = false;
    if (start) {
        // Every recording starts with its sound on, as the indicator shows it.
        recording->setMute(false);
        const ResultCode result = recording->startRecording();
        started = result == Result::Success;
        if (started)
            startRecording();
        else
            recordingLog.log(3, "Velora::recordingStarterDone - The recording did not start: %d",
                             int(result));
    }
    toolsPanel->startRecording(started);
}

void Velora::startRecording()
{
    muteAction->setChecked(false);
    controlBar->setMuted(false);
    showRecordingPaused(false);
    recordingSeconds = 0;
    controlBar->setSeconds(0);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        trayIcon->show();
        trayIcon->showMessage(tr("Hint"), tr("Stop or Pause record here."),
                              QSystemTrayIcon::Information, 10000);
    } else {
        controlBar->placeAtTopEdge(screen()->availableGeometry());
        controlBar->show();
    }
    recordingTimer.start();
}

void Velora::stopRecord()
{
    if (!(recordingStatus & RecordingStatus::Exists))
        return;
    clearRecordingIndicator();
    QList<QString> files;
    const ResultCode result = recording->stopRecording(&files);
    if (result != Result::Success) {
        recordingLog.log(2, "Velora::stopRecord - The recording did not stop: %d", int(result));
        return;
    }
    announceRecording(files);
}

void Velora::stopRecordForSession()
{
    recordingLog.log(5, "Velora::stopRecordForSession - The session ends");
    stopRecord();
}

void Velora::endSession()
{
    stopRecordForSession();
    close();
}

RecordingStarter *Velora::recordingStarter() const
{
    return starter;
}

void Velora::recordForceStopped(int reason, const QList<QString> &files)
{
    clearRecordingIndicator();
    // A removed drive took the files with it; what is left of them is not worth listing.
    if (reason == RecordingResult::DiskRemoved || files.isEmpty())
        return;
    for (const QString &file : files) {
        if (!QFileInfo::exists(file)) {
            recordingLog.log(3, "Velora::recordForceStopped - %s is missing; nothing announced",
                             qPrintable(file));
            return;
        }
    }
    announceRecording(files);
}

void Velora::recordForceStopped(int reason)
{
    recordForceStopped(reason, {});
}

void Velora::announceRecording(const QList<QString> &files)
{
    for (const QString &file : files)
        recordingLog.log(6, "Velora::announceRecording - %s", qPrintable(file));
    mediaLibrary->addFiles(files);
}

void Velora::recordingStatusChangedUI(uint status)
{
    recordingStatus = status;
    sleepWatcher->holdSleep(status & RecordingStatus::Exists);
    if (!(status & RecordingStatus::Exists))
        showRecordingPaused(false);
}

void Velora::muteUnmuteRecord(bool mute)
{
    recording->setMute(mute);
    muteAction->setChecked(mute);
    controlBar->setMuted(mute);
}

void Velora::playPauseRecord(bool pause)
{
    const ResultCode result = pause ? recording->pauseRecording() : recording->resumeRecording();
    if (result == Result::Success)
        showRecordingPaused(pause);
    else
        // A recording already paused (or going on) stays as it is, and so do the controls.
        showRecordingPaused(recordingPaused);
}

void Velora::showRecordingPaused(bool paused)
{
    recordingPaused = paused;
    pauseAction->setChecked(paused);
    controlBar->setPaused(paused);
    if (paused || !(recordingStatus & RecordingStatus::Exists))
        recordingTimer.stop();
    else
        recordingTimer.start();
}

void Velora::recordingCounterCount()
{
    ++recordingSeconds;
    counterAction->setText(recordingCounterText(recordingSeconds));
    controlBar->setSeconds(recordingSeconds);
}

void Velora::recordStopTrayTriggered(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        trayMenu->popup(QCursor::pos());
}

void Velora::clearRecordingIndicator()
{
    trayIcon->hide();
    controlBar->hide();
    recordingTimer.stop();
    recordingSeconds = 0;
    counterAction->setText(recordingCounterText(0));
    controlBar->setSeconds(0);
}
