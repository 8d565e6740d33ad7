#pragma once

#include "CaptureIntf.h"

#include <SharedComponent.h>

#include <QImage>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <mutex>

class KivoscopeIntf;
class QDialog;
class QSoundEffect;
class SettingIntf;

/// The capture component. Every operation and slot holds the component's recursive mutex, so a
/// time-lapse shot never interleaves with a start, a stop or the exit question, even while one
/// of them waits in a modal dialog.
class CaptureImpl : public CaptureIntf, public SharedComponent<CaptureImpl, std::recursive_mutex>
{
    Q_OBJECT
    friend SharedComponent;

public:
    /// Pictures are refused when the media folder's volume has this much space or less.
    static constexpr qint64 MinimumFreeSpace = 0x1FFFFF;
    static constexpr int JpegQuality = 90;
    static constexpr int FolderWatchInterval = 200;

    using SharedComponent::getInstance;

    void release() override;
    ResultCode captureScreen(QString *fullPath) override;
    ResultCode captureVision(QString *fullPath) override;
    ResultCode toggleTimeLapseSettings() override;
    ResultCode getTimeLapseParams(uint *time, uint *interval) override;
    ResultCode setTimeLapseParams(uint time, uint interval) override;
    ResultCode startTimeLapseCapture() override;
    ResultCode stopTimeLapseCapture() override;
    ResultCode confirmExit() override;
    uint getActionStatus() override;

    /// The whole desktop, every screen in its place.
    static QImage grabDesktop();
    /// The shutter sound's copy on disk.
    QString shutterSoundPath() const { return soundPath; }

public Q_SLOTS:
    void docCamConnected(QString modelName);
    void docCamDisconnected();
    void timeLapseShot();
    void hqImageCaptured(QImage hqImage);
    void hqImageCaptureAborted(int reason);
    void docCamFreezeChanged(bool freezed);
    void checkDirExist();

private:
    CaptureImpl();
    ~CaptureImpl() override;

    bool getSaveDirPath(QString &dir);
    bool saveImageToPath(const QImage &image, const QString &path);
    QString captureCurrentFrame(const QString &dir, const QString &baseName);
    /// The next free "Velora-<time>" name in `dir`, without ".jpg".
    static QString freeBaseName(const QString &dir);
    void playShutterSound();
    void showCaptureResult(const QString &title, int count, const QString &folderOrMessage);
    void waitForHighQualityStill();

    void setActionStatus(uint status);
    uint idleStatus() const;
    void stopTimers();
    /// Ends a running series early: the result dialog, the abort signal, an empty list.
    void abortTimeLapse(int reason);

    SettingIntf *settings = nullptr;
    KivoscopeIntf *kivoscope = nullptr;
    uint actionStatus = CaptureStatus::DesktopOnly;
    QString hqResultPath;
    QTimer shotTimer;
    QString timeLapseDir;
    bool timeLapseRunning = false;
    uint timeLapseTime = 0;
    uint timeLapseInterval = 0;
    uint capturedCount = 0;
    uint totalCount = 0;
    QList<QString> timeLapseFiles;
    QPointer<QDialog> capturingDialog;
    QTimer dirWatchTimer;
    QString soundPath;
    std::unique_ptr<QSoundEffect> shutter;
    // A high-quality still was asked for and has neither arrived nor been given up.
    bool hqOutstanding = false;
    // A still was given up on; if it arrives after all, it is not saved.
    bool hqAbandoned = false;
    bool frozen = false;
};
