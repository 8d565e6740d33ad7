#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class AVIRecordingThread;
class AudioInputList;
class QWidget;

/// What the recording component drives: desktop recordings into AVI files with the sound of a
/// chosen input.
///
/// The recorded screen is the one the window given to setRecordedWindow() is on (the primary
/// screen without one). Everything here is called on the GUI thread; the frames are taken and
/// encoded on the recording worker.
class AVIRecordingCtrl : public QObject
{
    Q_OBJECT

public:
    explicit AVIRecordingCtrl(QObject *parent = nullptr);
    ~AVIRecordingCtrl() override;

    void setRecordedWindow(QWidget *window);

    /// Starts a compressed recording `width` pixels wide (`height` 0: from the screen's aspect
    /// ratio, made even), with the sound of the input named `audioSource` (none when the name
    /// is empty or not in the input list). True when the worker runs.
    bool start(int width, int height, const QString &audioSource);
    /// The same with a four-character codec: "DIB " records uncompressed frames, one per
    /// addOneFrameNow().
    bool start(int width, int height, const QString &audioSource, const QString &codec);
    /// Stops and returns the first file written (empty when none).
    QString stop(const QString &finalName);
    /// Stops and returns every file written, in order.
    QStringList stopAll(const QString &finalName);
    /// Pauses or resumes; returns whether now paused.
    bool togglePause();
    bool isRunning() const;
    /// The file being written, empty when none.
    QString filePath() const;
    int lastError() const;
    void addOneFrameNow();

    void setMute(bool mute);
    bool isMute() const;
    /// The recording input's volume, 65535 standing for 100 %.
    void setVolume(quint32 volume);
    quint32 volume() const;

    /// The inputs' full names, in the sound server's order.
    QStringList audioInputs();
    /// How many inputs there are now.
    int inputDeviceCount() const;

    /// The recording size for a screen of `screen` pixels at `width` (and `height`, 0 to derive
    /// it from the screen's aspect ratio, made even).
    static QSize frameSize(QSize screen, int width, int height);

private:
    QRect recordedArea() const;

    std::shared_ptr<AVIRecordingThread> worker;
    AudioInputList *inputs;
    QPointer<QWidget> recordedWindow;
    QString audioSource;
};
