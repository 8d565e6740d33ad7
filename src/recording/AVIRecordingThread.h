#pragma once

#include "AVIRecordingImpl.h"
#include "RecordingAudioInput.h"

#include <QRect>
#include <QSize>
#include <QStringList>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

/// The recording worker, one per process: takes the desktop's frames, checks the free space
/// before each, and finishes the file when asked to stop.
///
/// The compressed form paces itself (a frame per 40 ms slot, a 15 ms sleep per turn); the
/// uncompressed form takes a frame each time addOneFrameNow() asks, so that the controller's
/// timer sets the pace while the encoding stays off the GUI thread. Start, stop, pause and mute
/// come from the GUI thread.
class AVIRecordingThread : public QThread
{
    Q_OBJECT

public:
    /// What lastError() reports.
    enum Error {
        NoError = 0,
        AlreadyRunning = 1,
        NotRunning = 2,
        CannotInitialise = 3,
        CannotAddFrame = 4,
        NotEnoughSpace = 5,
        CodecFailed = 6,
    };

    /// Below this many free bytes a recording does not start, and a running one stops.
    static constexpr qint64 MinimumFreeBytes = 10485760;

    /// The process's worker, made on first use.
    static std::shared_ptr<AVIRecordingThread> instance();
    /// The name a recording started now is given: "Velora-<time>.avi".
    static QString newFileName();
    ~AVIRecordingThread() override;

    /// Starts recording `area` of the desktop into a new file of the media folder, named after
    /// the start time. `audioDevice` is the input's place in the input list (-1 the default
    /// input, -2 no sound). `codec` "DIB " records uncompressed frames, anything shorter the
    /// compressed form. False, with lastError() saying why, when it could not start; a message
    /// box has told the user when the reason is theirs to act on.
    bool startRecording(const QRect &area, QSize frameSize, int audioDevice, const QString &codec);
    /// Stops, finishes the file and returns the files written (several when the recording was
    /// split); after a recording that stopped by itself, its files once. Stopping a worker with
    /// nothing to hand over reports NotRunning and returns nothing.
    /// A recording ends under the name it started with ("Velora-<start time>.avi", its parts
    /// "…_1.avi", "…_2.avi"): the media library has listed it under that name from the start, so
    /// `finalName` is only logged.
    QStringList stopRecording(const QString &finalName = QString());
    /// Uncompressed form: asks for one frame now.
    void addOneFrameNow();

    bool togglePause();
    bool isPaused() const;
    void setMuted(bool muted);
    bool isMuted() const;
    bool isRecording() const;
    int lastError() const;
    /// The file being written, empty when none.
    QString filePath() const;
    /// The recording's input level while recording.
    quint16 audioLevel() const;

protected:
    void run() override;

private:
    AVIRecordingThread();
    bool hasSpace() const;

    mutable std::mutex mutex;
    std::condition_variable wake;
    int errorCode = NoError;
    bool stopRequested = false;
    bool running = false;
    bool monitorOnly = false;
    bool uncompressed = false;
    bool frameRequested = false;
    bool uncollected = false; // files of a finished recording no stop has returned yet
    QString finalName;
    QString targetPath;
    QString targetFolder; // measured for free space before every frame
    QStringList filesWritten;
    RecordingAudioInput audio;
    AVIRecordingImpl writer;
};
