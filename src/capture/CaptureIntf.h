#pragma once

#include <ResultCode.h>

#include <QList>
#include <QObject>
#include <QString>

/// Result codes of the capture component beyond the common ones.
namespace CaptureResult {
/// Refused while a time lapse is running.
constexpr ResultCode TimeLapseRunning = -2001;
/// No time lapse to stop.
constexpr ResultCode NoTimeLapse = -2002;
} // namespace CaptureResult

/// The capture component's action status: which capture controls are usable now.
namespace CaptureStatus {
constexpr uint DesktopCapture = 0x001;
constexpr uint DocCamCapture = 0x002;
constexpr uint TimeLapseButton = 0x004;
constexpr uint TimeLapseSettingsShown = 0x008;
constexpr uint TimeLapseSettingsEditable = 0x010;
constexpr uint TimeLapseStartShown = 0x020;
constexpr uint TimeLapseParamsValid = 0x040;
constexpr uint TimeLapseRunning = 0x080;
constexpr uint TimeLapseProgressShown = 0x100;

/// A high-quality capture is under way: nothing can be pressed.
constexpr uint Busy = 0;
/// No document camera, or its picture is frozen: the desktop only.
constexpr uint DesktopOnly = DesktopCapture;
/// Idle with a document camera.
constexpr uint Idle = DesktopCapture | DocCamCapture | TimeLapseButton;
/// The time-lapse settings are open for editing.
constexpr uint Editing = TimeLapseButton | TimeLapseSettingsShown | TimeLapseSettingsEditable
        | TimeLapseStartShown;
/// A time lapse is running.
constexpr uint Running = TimeLapseSettingsShown | TimeLapseRunning | TimeLapseProgressShown;
} // namespace CaptureStatus

/// Reasons a time lapse ended early.
namespace TimeLapseAbort {
constexpr int SaveFailed = -1;
constexpr int CameraGone = -1000;
constexpr int StoppedByUser = 1000;
} // namespace TimeLapseAbort

/// Still pictures of the document camera and of the desktop, and time-lapse series, saved as
/// JPEG files in the media folder.
///
/// Files: "Velora-yyyy-MM-dd_HH-mm-ss.jpg" in the media folder (a second picture within the
/// same second gets " (2)", " (3)", ... before ".jpg"); a time lapse fills its own folder
/// "Velora-Time-Lapse_yyyy-MM-dd_HH-mm-ss/" with "1.jpg", "2.jpg", ...
class CaptureIntf : public QObject
{
    Q_OBJECT

public:
    /// Limits of a time lapse, in seconds.
    static constexpr uint MaxTimeLapseTime = 259200;
    static constexpr uint MaxTimeLapseInterval = 21600;

    static CaptureIntf *getInstance();

    virtual void release() = 0;
    /// A picture of the whole desktop, every screen; `fullPath` receives the file.
    virtual ResultCode captureScreen(QString *fullPath) = 0;
    /// A picture of the document camera, at its high quality when it has one.
    virtual ResultCode captureVision(QString *fullPath) = 0;
    virtual ResultCode toggleTimeLapseSettings() = 0;
    virtual ResultCode getTimeLapseParams(uint *time, uint *interval) = 0;
    virtual ResultCode setTimeLapseParams(uint time, uint interval) = 0;
    virtual ResultCode startTimeLapseCapture() = 0;
    virtual ResultCode stopTimeLapseCapture() = 0;
    /// Whether Velora may quit now: 0, or Result::ExitDeclined when the presenter keeps a
    /// running time lapse.
    virtual ResultCode confirmExit() = 0;
    virtual uint getActionStatus() = 0;

Q_SIGNALS:
    void actionStatusChanged(uint currentActionStatus);
    void fullScreenImageCaptured(QString fullPath);
    void docCamImageCaptured(QString fullPath);
    void oneTimeLapseImageCaptured(QString fullPath);
    void timeLapseCaptureProgressUpdated(uint totalCapturedImages, uint totalImagesToCapture);
    void timeLapseImageCaptureCompleted(QList<QString> fullImagePaths);
    void timeLapseImageCaptureAborted(QList<QString> partialImagePaths, int reason);
};
