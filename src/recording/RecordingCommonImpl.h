#pragma once

#include "RecordingIntf.h"

#include <mutex>

/// The recording state machine that does not depend on how frames are written: start, pause,
/// resume and stop, the checks before a start, the messages when a recording ends by itself
/// and the exit question. The writer behind it is RecordingImpl's.
///
/// Every public operation holds the component's process-wide recursive mutex, the one that also
/// guards getInstance() and release().
class RecordingCommonImpl : public RecordingIntf
{
    Q_OBJECT

public:
    /// A recording does not start with this many free bytes or fewer on the media folder's disk.
    static constexpr qint64 MinimumFreeSpace = 0x200000;

    ResultCode startRecording() override;
    ResultCode stopRecording(QList<QString> *fullPaths) override;
    ResultCode pauseRecording() override;
    ResultCode resumeRecording() override;
    ResultCode init() override;
    ResultCode uninit() override;
    ResultCode confirmExit(QList<QString> *fullPaths) override;
    uint getActionStatus() override;

Q_SIGNALS:
    void emitRecordStoppedOnMain(QList<QString> filePaths);
    void emitRecordStoppedWithErrorOnMain(int errorCode, QString errorString,
                                          QList<QString> filePaths);

public Q_SLOTS:
    void emitRecordStopped(QList<QString> filePaths);
    void emitRecordStoppedWithError(int errorCode, QString errorString, QList<QString> filePaths);

protected:
    RecordingCommonImpl();
    ~RecordingCommonImpl() override = default;

    virtual std::recursive_mutex &operationMutex() = 0;

    /// Ends the recording and tells the presenter that the disk filled up or went away.
    void stopWithDiskMessage();
    /// Ends the recording and tells the presenter `errorString`; recordStopped() carries `code`.
    void stopWithError(int code, const QString &errorString);
    /// Back to idle without the writer, for a recording whose writer has already gone.
    void endRecording();
    bool isRecording() const { return recording; }

private:
    void setActionStatus(uint status);
    /// Stops for one of the messages above; the files the recording left.
    QList<QString> stopForMessage();

    int initCount = 0;
    bool recording = false;
    bool paused = false;
    uint actionStatus = RecordingStatus::Idle;
};
