#include "RecordingCommonImpl.h"

#include <KivoSystem.h>
#include <LogModule.h>
#include <MessageBox.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <ThreadHandOver.h>

#include <QDir>
#include <QFileInfo>

namespace {

const LogModule recordingLog("velora/recording");

using Lock = std::lock_guard<std::recursive_mutex>;

QMessageBox::StandardButton warn(const QString &text, const QString &informativeText,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::Ok)
{
    MessageBox::Question question;
    question.icon = QMessageBox::Warning;
    question.title = QStringLiteral("Warning");
    question.text = text;
    question.informativeText = informativeText;
    question.buttons = buttons;
    question.defaultButton = defaultButton;
    return MessageBox::ask(question);
}

} // namespace

RecordingCommonImpl::RecordingCommonImpl()
{
    // A stop the status poll finds may one day be found off the GUI thread; the automatic
    // connection then carries it over before any box is shown.
    connect(this, &RecordingCommonImpl::emitRecordStoppedOnMain, this,
            &RecordingCommonImpl::emitRecordStopped);
    connect(this, &RecordingCommonImpl::emitRecordStoppedWithErrorOnMain, this,
            &RecordingCommonImpl::emitRecordStoppedWithError);
}

uint RecordingCommonImpl::getActionStatus()
{
    Lock lock(operationMutex());
    return actionStatus;
}

void RecordingCommonImpl::setActionStatus(uint status)
{
    actionStatus = status;
    Q_EMIT actionStatusChanged(actionStatus);
}

ResultCode RecordingCommonImpl::startRecording()
{
    Lock lock(operationMutex());
    if (recording)
        return RecordingResult::AlreadyRecording;

    QString folder;
    {
        ComponentRef<SettingIntf> settings;
        folder = settings->getSavePath();
    }
    if (!QDir(folder).exists() && !QDir().mkpath(folder))
        recordingLog.log(5,
                         QStringLiteral("RecordingCommonImpl::startRecording() - Dir %1 can't "
                                        "not be created")
                                 .arg(folder));
    if (!QDir(folder).exists())
        return RecordingResult::MediaFolderUnusable;

    if (!QFileInfo(folder).isWritable()) {
        recordingLog.log(2, "RecordingCommonImpl::startRecording - Permission Denied");
        warn(QStringLiteral("Permission Denied! You do not have access to the directory."),
             QStringLiteral("You do not have permission to write to %1.")
                     .arg(QDir::toNativeSeparators(folder)));
        return RecordingResult::FolderNotWritable;
    }
    if (KivoSystem::freeSpace(folder) <= MinimumFreeSpace) {
        recordingLog.log(2, "RecordingCommonImpl::startRecording - Not enough disk space!");
        warn(QStringLiteral("Not enough disk space!"), QStringLiteral("Cannot start recording!"));
        return RecordingResult::MediaFolderUnusable;
    }

    const ResultCode started = doStartRecording();
    if (started < 0)
        return started;
    recording = true;
    paused = false;
    // Without an input the recording goes on silent; the level meter just stays at 0.
    init();
    setActionStatus(RecordingStatus::Recording);
    return Result::Success;
}

ResultCode RecordingCommonImpl::stopRecording(QList<QString> *fullPaths)
{
    Lock lock(operationMutex());
    if (!recording)
        return RecordingResult::NotRecording;
    QList<QString> files;
    const ResultCode stopped = doStopRecording(&files);
    if (fullPaths)
        *fullPaths = files;
    if (stopped < 0)
        return stopped;
    endRecording();
    return Result::Success;
}

void RecordingCommonImpl::endRecording()
{
    recording = false;
    paused = false;
    uninit();
    setActionStatus(RecordingStatus::Idle);
}

ResultCode RecordingCommonImpl::pauseRecording()
{
    Lock lock(operationMutex());
    if (!recording)
        return RecordingResult::NotRecording;
    if (paused)
        return RecordingResult::AlreadyPaused;
    const ResultCode result = doPauseRecording();
    if (result < 0)
        return result;
    paused = true;
    setActionStatus(RecordingStatus::Recording);
    return Result::Success;
}

ResultCode RecordingCommonImpl::resumeRecording()
{
    Lock lock(operationMutex());
    if (!recording)
        return RecordingResult::NotRecording;
    if (!paused)
        return RecordingResult::NotPaused;
    const ResultCode result = doResumeRecording();
    if (result < 0)
        return result;
    paused = false;
    setActionStatus(RecordingStatus::Resumed);
    return Result::Success;
}

ResultCode RecordingCommonImpl::init()
{
    Lock lock(operationMutex());
    // Counted even when the input cannot be opened, so that every init() has its uninit().
    if (initCount++ > 0)
        return Result::Success;
    return doInit();
}

ResultCode RecordingCommonImpl::uninit()
{
    Lock lock(operationMutex());
    if (initCount == 0)
        return Result::Failure;
    if (--initCount > 0)
        return Result::Success;
    return doUninit();
}

ResultCode RecordingCommonImpl::confirmExit(QList<QString> *fullPaths)
{
    Lock lock(operationMutex());
    if (!recording)
        return Result::Success;
    if (warn(QStringLiteral("Do you really want to exit Velora?"),
             QStringLiteral("Recording in progress"), QMessageBox::Yes | QMessageBox::No,
             QMessageBox::No)
        != QMessageBox::Yes)
        return RecordingResult::ExitDeclined;
    QList<QString> files;
    const ResultCode stopped = doStopRecording(&files);
    endRecording();
    if (stopped < 0) {
        if (fullPaths)
            fullPaths->clear();
        return RecordingResult::StopFailedOnExit;
    }
    if (fullPaths)
        *fullPaths = files;
    return Result::Success;
}

QList<QString> RecordingCommonImpl::stopForMessage()
{
    QList<QString> files;
    // A writer that has already gone cannot be stopped; the recording is over all the same.
    if (stopRecording(&files) < 0 && recording)
        endRecording();
    ThreadHandOver::published();
    return files;
}

void RecordingCommonImpl::stopWithDiskMessage()
{
    Q_EMIT emitRecordStoppedOnMain(stopForMessage());
}

void RecordingCommonImpl::stopWithError(int code, const QString &errorString)
{
    Q_EMIT emitRecordStoppedWithErrorOnMain(code, errorString, stopForMessage());
}

void RecordingCommonImpl::emitRecordStopped(QList<QString> filePaths)
{
    ThreadHandOver::received();
    const bool removed = filePaths.isEmpty() || !QFileInfo::exists(filePaths.last());
    warn(removed ? QStringLiteral("Destination disk removed!")
                 : QStringLiteral("Not enough disk space!"),
         QStringLiteral("Recording interrupted."));
    if (removed)
        Q_EMIT recordStopped(RecordingResult::DiskRemoved, {});
    else
        Q_EMIT recordStopped(RecordingResult::MediaFolderUnusable, filePaths);
}

void RecordingCommonImpl::emitRecordStoppedWithError(int errorCode, QString errorString,
                                                     QList<QString> filePaths)
{
    Q_UNUSED(filePaths);
    ThreadHandOver::received();
    warn(QStringLiteral("Recording interrupted."), errorString);
    Q_EMIT recordStopped(errorCode, {});
}
