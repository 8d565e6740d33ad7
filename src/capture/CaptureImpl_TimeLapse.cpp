// The time-lapse half of the capture component: a series of document-camera pictures at a fixed
// interval into a folder of its own.

#include "CaptureImpl.h"

#include <KivoscopeIntf.h>
#include <LogModule.h>
#include <LongTimers.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

const LogModule timeLapseLog("velora/capture");

using Lock = std::lock_guard<std::recursive_mutex>;

const QString Interrupted = QStringLiteral("Time Lapse Capture Interrupted");
const QString Completed = QStringLiteral("Time Lapse Capture Completed");

bool validParameters(uint time, uint interval)
{
    return interval != 0 && time >= interval;
}

} // namespace

ResultCode CaptureImpl::toggleTimeLapseSettings()
{
    Lock lock(componentMutex());
    if (!kivoscope->isConnected())
        return Result::NoDevice;
    if (timeLapseRunning)
        return CaptureResult::TimeLapseRunning;
    if (!(actionStatus & CaptureStatus::TimeLapseSettingsShown)) {
        uint status = CaptureStatus::Editing;
        if (validParameters(timeLapseTime, timeLapseInterval))
            status |= CaptureStatus::TimeLapseParamsValid;
        setActionStatus(status);
    } else {
        setActionStatus(idleStatus());
    }
    return Result::Success;
}

ResultCode CaptureImpl::getTimeLapseParams(uint *time, uint *interval)
{
    Lock lock(componentMutex());
    if (!time || !interval)
        return Result::InvalidArgument;
    *time = timeLapseTime;
    *interval = timeLapseInterval;
    return Result::Success;
}

ResultCode CaptureImpl::setTimeLapseParams(uint time, uint interval)
{
    Lock lock(componentMutex());
    if (!kivoscope->isConnected())
        return Result::NoDevice;
    if (timeLapseRunning)
        return CaptureResult::TimeLapseRunning;
    timeLapseTime = time;
    timeLapseInterval = interval;
    const bool valid = validParameters(time, interval);
    if (valid != bool(actionStatus & CaptureStatus::TimeLapseParamsValid))
        setActionStatus(actionStatus ^ CaptureStatus::TimeLapseParamsValid);
    return Result::Success;
}

ResultCode CaptureImpl::startTimeLapseCapture()
{
    Lock lock(componentMutex());
    if (!kivoscope->isConnected())
        return Result::NoDevice;
    if (timeLapseRunning) {
        timeLapseLog.log(2, "CaptureImpl::startTimeLapseCapture() - Time lapse capturing");
        return CaptureResult::TimeLapseRunning;
    }
    if (!validParameters(timeLapseTime, timeLapseInterval)) {
        timeLapseLog.log(2,
                         "CaptureImpl::startTimeLapseCapture() - Invalid parameters time : %d, "
                         "interval : %d",
                         int(timeLapseTime), int(timeLapseInterval));
        return Result::InvalidArgument;
    }
    QString dir;
    if (!getSaveDirPath(dir)) {
        timeLapseLog.log(2, "CaptureImpl::startTimeLapseCapture() - No directory to save");
        return Result::Failure;
    }
    timeLapseDir = dir + QStringLiteral("Velora-Time-Lapse_")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss/"));
    QDir().mkpath(timeLapseDir);

    totalCount = timeLapseTime / timeLapseInterval + 1;
    capturedCount = 0;
    timeLapseFiles.clear();
    shotTimer.setInterval(LongTimers::milliseconds(timeLapseInterval));
    shotTimer.start();
    timeLapseRunning = true;
    setActionStatus(CaptureStatus::Running);

    timeLapseShot();
    // The first shot may have ended the series already (a folder that cannot be written).
    if (timeLapseRunning)
        dirWatchTimer.start();
    return Result::Success;
}

void CaptureImpl::timeLapseShot()
{
    Lock lock(componentMutex());
    if (!timeLapseRunning)
        return;
    if (capturedCount < totalCount) {
        bool cameraGone = false;
        const QString path = captureCurrentFrame(timeLapseDir, QString::number(capturedCount + 1),
                                                 &cameraGone);
        if (path.isEmpty() && cameraGone) {
            // The shot came between the unplugging and its notice: end the series as the notice
            // will, keeping what was taken.
            docCamDisconnected();
            return;
        }
        if (path.isEmpty()) {
            stopTimers();
            setActionStatus(idleStatus());
            timeLapseRunning = false;
            const bool folderGone = !QFileInfo(timeLapseDir).isDir();
            if (folderGone)
                timeLapseFiles.clear();
            if (folderGone || timeLapseFiles.isEmpty())
                showCaptureResult(Interrupted, 0,
                                  QStringLiteral("Can't save image to destination folder."));
            else
                showCaptureResult(Interrupted, int(timeLapseFiles.size()), timeLapseDir);
            const QList<QString> files = std::exchange(timeLapseFiles, {});
            Q_EMIT timeLapseImageCaptureAborted(files, TimeLapseAbort::SaveFailed);
            return;
        }
        timeLapseFiles.append(path);
        Q_EMIT oneTimeLapseImageCaptured(path);
        ++capturedCount;
        Q_EMIT timeLapseCaptureProgressUpdated(capturedCount, totalCount);
    }
    if (capturedCount >= totalCount) {
        stopTimers();
        timeLapseRunning = false;
        totalCount = 0;
        capturedCount = 0;
        setActionStatus(idleStatus());
        showCaptureResult(Completed, int(timeLapseFiles.size()), timeLapseDir);
        const QList<QString> files = std::exchange(timeLapseFiles, {});
        Q_EMIT timeLapseImageCaptureCompleted(files);
    }
}

void CaptureImpl::checkDirExist()
{
    Lock lock(componentMutex());
    if (!timeLapseRunning || QFileInfo(timeLapseDir).isDir())
        return;
    timeLapseLog.log(4, "CaptureImpl::checkDirExist - Time lapse capture dir removed!");
    timeLapseShot();
}

ResultCode CaptureImpl::stopTimeLapseCapture()
{
    Lock lock(componentMutex());
    if (!timeLapseRunning) {
        timeLapseLog.log(2, "CaptureImpl::stopTimeLapseCapture() - Not capturing");
        return CaptureResult::NoTimeLapse;
    }
    stopTimers();
    setActionStatus(idleStatus());
    abortTimeLapse(TimeLapseAbort::StoppedByUser);
    return Result::Success;
}

void CaptureImpl::abortTimeLapse(int reason)
{
    timeLapseRunning = false;
    capturedCount = 0;
    totalCount = 0;
    showCaptureResult(Interrupted, int(timeLapseFiles.size()), timeLapseDir);
    const QList<QString> files = std::exchange(timeLapseFiles, {});
    Q_EMIT timeLapseImageCaptureAborted(files, reason);
}
