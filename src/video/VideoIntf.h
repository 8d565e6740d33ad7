#pragma once

#include <ResultCode.h>

#include <QObject>
#include <QString>

class QWidget;

/// Plays one video file at a time in its own widget, with start, pause, resume, stop, seek and
/// volume, and says after every change which of those actions the current state allows.
///
/// Results: 0 success; -1000 the file cannot be attached; -2000 no file or no media; -2001 the
/// player failed or the media is not available; -2003 the action is not allowed in this state;
/// -3000 position out of range; -3001 not seekable; -4000 volume out of range.
class VideoIntf : public QObject
{
    Q_OBJECT

public:
    /// Bits of currentActionStatus(): which action the current state allows.
    enum ActionStatus : uint {
        CanStart = 1,
        CanPause = 2,
        CanResume = 4,
        CanStop = 8,
        CanMove = 16,
        Attached = 32
    };

    static constexpr ResultCode CannotAttach = -1000;
    static constexpr ResultCode NoVideo = -2000;
    static constexpr ResultCode NotAvailable = -2001;
    static constexpr ResultCode WrongState = -2003;
    static constexpr ResultCode OutOfRange = -3000;
    static constexpr ResultCode NotSeekable = -3001;
    static constexpr ResultCode BadVolume = -4000;

    /// The shared instance (one more reference), made on first use.
    static VideoIntf *getInstance();
    virtual void release() = 0;

    /// Opens `path` for playing, stopped at its start; an unplayable file is told to the user.
    virtual int attachVideo(const QString &path) = 0;
    virtual int start() = 0;
    virtual int pause() = 0;
    virtual int resume() = 0;
    virtual int stop() = 0;
    virtual int moveTo(uint seconds) = 0;
    /// The length in whole seconds (0 when the file does not say), or a negative result.
    virtual int getTotalVideoLengthInSeconds() = 0;
    /// 0 silent to 100 full.
    virtual int setVolume(uint volume) = 0;
    virtual int volume() = 0;
    virtual int setProgressReportPeriod(uint milliseconds) = 0;
    /// Shows at most `fps` frames a second (0 all of them), to spare a loaded machine.
    virtual int dropFpsForLoadBalance(uint fps) = 0;
    virtual uint currentActionStatus() = 0;
    /// The file attached last, empty before the first.
    virtual QString attachedPath() const = 0;
    virtual QWidget *videoWidget() = 0;

Q_SIGNALS:
    /// The playing position in whole seconds.
    void progressUpdated(uint currentProgressInSeconds);
    /// The file played to its end and is back at its start.
    void ended();
    /// For listeners of a player that can break off; this one never does.
    void aborted();
    void actionStatusChanged(uint currentActionStatus);
};
