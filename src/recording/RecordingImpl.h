#pragma once

#include "AVIRecordingCtrl.h"
#include "AudioLevelReporter.h"
#include "RecordingCommonImpl.h"

#include <SharedComponent.h>

#include <QTimer>

class SettingIntf;

/// The recording component: RecordingCommonImpl's state machine on the AVI writer, with the
/// level meter of the recording input.
///
/// The writer is polled every 50 ms on the GUI thread: a recording whose writer stopped by
/// itself, or whose file has gone, is ended with a message. A compressed recording that fails
/// for any reason but the encoder's or the disk's starts again, once, with uncompressed frames;
/// the frame timer then paces them.
class RecordingImpl : public RecordingCommonImpl,
                      public SharedComponent<RecordingImpl, std::recursive_mutex>
{
    Q_OBJECT
    friend SharedComponent;

public:
    static constexpr int StatusInterval = 50;
    static constexpr int FrameInterval = 10;
    static constexpr int DeviceInterval = 500;
    static constexpr int LevelInterval = 30;

    using SharedComponent::getInstance;

    void release() override;
    bool isMute() override;
    void setMute(bool mute) override;
    void setVolume(uint percent) override;
    uint getVolume() override;
    QList<QString> getAudioSources() override;
    bool isRecordingFile(const QString &path) override;
    QString recordingFile() override;
    void setRecordedWindow(QWidget *window) override;

    /// The frame width a "recording/videoQuality" value stands for; 0 the writer's own.
    static int frameWidth(int quality);

public Q_SLOTS:
    void checkAudioSource();
    void reportAudioLevel();
    void checkRecordingStatus();
    void addFrame();
    QList<QString> getOldAudioSources();

protected:
    std::recursive_mutex &operationMutex() override { return componentMutex(); }
    ResultCode doStartRecording() override;
    ResultCode doStopRecording(QList<QString> *fullPaths) override;
    ResultCode doPauseRecording() override;
    ResultCode doResumeRecording() override;
    ResultCode doInit() override;
    ResultCode doUninit() override;
    ResultCode doStopRecording(QString *fileName) override;

private:
    RecordingImpl();
    ~RecordingImpl() override;

    /// Stops the writer; `files` receives what it wrote.
    ResultCode stopWriter(const QString &name, QList<QString> *files);

    SettingIntf *settings;
    AVIRecordingCtrl ctrl;
    AudioLevelReporter levelReporter;
    QTimer levelTimer;
    QTimer statusTimer;
    QTimer deviceTimer;
    QTimer frameTimer;
    qint64 lastDeviceCount = 0;
    bool uncompressedMode = false;
};
