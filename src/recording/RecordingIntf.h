#pragma once

#include <RecordingStatus.h>
#include <ResultCode.h>

#include <QList>
#include <QObject>
#include <QString>

class QWidget;

/// Result codes of the recording component beyond the common ones.
namespace RecordingResult {
constexpr ResultCode AlreadyRecording = -1000;
constexpr ResultCode NotRecording = -1001;
constexpr ResultCode AlreadyPaused = -1002;
constexpr ResultCode NotPaused = -1003;
constexpr ResultCode NoAudioInput = -2001;
constexpr ResultCode ExitDeclined = -3000;
/// The media folder is missing or too full.
constexpr ResultCode MediaFolderUnusable = -4000;
constexpr ResultCode DiskRemoved = -4001;
constexpr ResultCode FolderNotWritable = -4002;
/// The compressed writer could not be used.
constexpr ResultCode CodecFailed = -5000;
/// confirmExit(): the presenter agreed, but the recording could not be stopped.
constexpr ResultCode StopFailedOnExit = 1000;
} // namespace RecordingResult

/// Desktop recordings with the sound of a chosen input, into
/// "Velora-yyyy-MM-dd_HH-mm-ss.avi" in the media folder (a long recording into several parts).
///
/// Every operation is called on the GUI thread. A recording that ends by itself (a full disk, a
/// removed drive, an encoder that cannot be used) has told the presenter why when
/// recordStopped() arrives.
class RecordingIntf : public QObject
{
    Q_OBJECT

public:
    static RecordingIntf *getInstance();

    virtual void release() = 0;
    virtual ResultCode startRecording() = 0;
    /// `fullPaths` receives every file written, in order.
    virtual ResultCode stopRecording(QList<QString> *fullPaths) = 0;
    virtual ResultCode pauseRecording() = 0;
    virtual ResultCode resumeRecording() = 0;
    virtual bool isMute() = 0;
    virtual void setMute(bool mute) = 0;
    /// The recording input's volume in percent, 0 to 100.
    virtual void setVolume(uint percent) = 0;
    virtual uint getVolume() = 0;
    /// Reference-counted: the first call opens the recording input for audioLevelReported(),
    /// the matching last uninit() closes it.
    virtual ResultCode init() = 0;
    virtual ResultCode uninit() = 0;
    /// Whether Velora may quit: 0 when nothing is recorded or the presenter agreed to stop the
    /// recording (`fullPaths` receives its files); RecordingResult::ExitDeclined otherwise.
    virtual ResultCode confirmExit(QList<QString> *fullPaths) = 0;
    virtual QList<QString> getAudioSources() = 0;
    virtual uint getActionStatus() = 0;
    /// Whether `path` is a file a running recording is writing to.
    virtual bool isRecordingFile(const QString &path) = 0;
    /// The file a running recording writes to now; empty while none is open.
    virtual QString recordingFile() = 0;
    /// The window whose screen is recorded; the primary screen without one.
    virtual void setRecordedWindow(QWidget *window) = 0;

Q_SIGNALS:
    void audioSourcesChanged(QList<QString> audioSources);
    void audioLevelReported(uint level);
    /// A recording ended by itself; `fullPaths` holds what it left, empty when nothing remains.
    void recordStopped(int reasonCode, QList<QString> fullPaths);
    void actionStatusChanged(uint currentActionStatus);

protected:
    virtual ResultCode doStartRecording() = 0;
    virtual ResultCode doStopRecording(QList<QString> *fullPaths) = 0;
    virtual ResultCode doPauseRecording() = 0;
    virtual ResultCode doResumeRecording() = 0;
    virtual ResultCode doInit() = 0;
    virtual ResultCode doUninit() = 0;
    /// `fileName` goes in as the name asked for and comes out as the first file written.
    virtual ResultCode doStopRecording(QString *fileName) = 0;
};
