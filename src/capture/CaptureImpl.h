#pragma once

#include "CaptureIntf.h"

#include <SharedComponent.h>

#include <QImage>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <map>
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

    /// The whole desktop, every screen in its place; in a Wayland session the monitor the
    /// screen-cast portal shares. Null, the reason said to the user, when none can be had.
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

    /// What becomes of a high-quality still once it is written.
    enum class StillUse {
        Awaited, ///< captureVision() waits for it
        Announced, ///< nobody here asked for it (the camera's own button): announced when saved
        Unwanted, ///< the wait for it ended without it: the live frame stood in
    };
    struct StillWrite
    {
        QString path;
        StillUse use = StillUse::Awaited;
    };

    bool getSaveDirPath(QString &dir);
    /// Whether a picture may be written to `path`'s folder; says why not to the presenter.
    bool checkSaveFolder(const QString &path);
    /// Checks the folder, then writes: for pictures small enough to write at once.
    bool saveImageToPath(const QImage &image, const QString &path);
    /// Writes `image` to `path`; says why not to the presenter.
    bool writePicture(const QImage &image, const QString &path);
    /// Tells the presenter that `path` was not written, with the system's `reason`.
    void reportWriteFailure(const QString &path, const QString &reason);
    /// Writes a high-quality still on the writer thread; stillWritten() follows.
    void writeStill(const QImage &still, const QString &path, StillUse use);
    void stillWritten(quint64 write, bool written, const QString &failure);
    /// Ends the wait of captureVision() with `path`, or empty when the still arrived but could
    /// not be saved.
    void endStillWait(const QString &path);
    bool awaitedStillBeingWritten() const;
    /// Writes the live frame; `cameraGone` tells a camera already unplugged from a failed write.
    QString captureCurrentFrame(const QString &dir, const QString &baseName,
                                bool *cameraGone = nullptr);
    /// The next free "Velora-<time>" name in `dir`, without ".jpg", counting the pictures still
    /// being written as taken.
    QString freeBaseName(const QString &dir) const;
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
    // The awaited still came but could not be saved; the presenter has been told why.
    bool hqNotSaved = false;
    bool frozen = false;
    // Stills on their way to disk, by number; touched on the GUI thread only.
    std::map<quint64, StillWrite> stillWrites;
    quint64 lastStillWrite = 0;
    // One thread, so that stills are written in the order they came; the GUI thread only
    // checks the folder and hands the picture over.
    QThreadPool stillWriter;
};
