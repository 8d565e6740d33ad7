#pragma once

#include "VideoFrameSink.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <memory>

class AudioOutput;
class AudioRing;
class FramePresenter;
class FrameQueue;
class MediaClock;
class MediaDecoder;

/// Plays one video file: AVI (MPEG-4, uncompressed) or WMV, with its sound. Decoding runs on
/// the service's own threads; the pictures go to a VideoFrameSink already converted to its size,
/// the sound to the default audio output, the pictures timed to the sound. The state, status,
/// position and volume are reported through signals on the thread that owns the service.
class MediaService : public QObject
{
    Q_OBJECT

public:
    enum MediaState { StoppedState = 0, PausedState = 1, PlayingState = 2 };
    Q_ENUM(MediaState)
    enum MediaStatus {
        NoMedia = 1,
        LoadingMedia = 2,
        LoadedMedia = 3,
        BufferedMedia = 5,
        EndOfMedia = 7,
        InvalidMedia = 8
    };
    Q_ENUM(MediaStatus)
    /// Volumes are hundredths of a decibel; this one is silence, 0 full volume.
    static constexpr long SilentVolume = -10000;

    explicit MediaService(QObject *parent = nullptr);
    /// Stops and joins its threads.
    ~MediaService() override;

    /// 1 for ".avi", 2 for ".wmv" (any case), 0 for anything else.
    static int mediaTypeOf(const QString &path);
    /// Loading, then loaded; a file of another type or one that cannot be played makes the
    /// status invalid and returns false. Waits while the decode thread reads the file's header
    /// and probes its streams, so that the GUI thread decodes nothing.
    bool open(const QString &path);
    /// Back to no media.
    void close();
    bool play();
    bool pause();
    /// Stops and rewinds to 0: the status becomes end of media and position 0 is reported.
    bool stop();
    /// Fails beyond the duration, leaving the position.
    bool setPosition(qint64 milliseconds);
    qint64 position() const;
    /// In milliseconds; for a file whose header does not say, how far decoding has reached.
    qint64 duration() const;
    /// From SilentVolume to 0.
    bool setVolume(long hundredthsOfDecibel);
    long volume() const;
    MediaState state() const { return currentState; }
    MediaStatus status() const { return currentStatus; }
    int mediaType() const { return type; }
    bool isSeekable() const { return seekable; }
    /// The file's picture size.
    QSize frameSize() const { return size; }
    /// Null detaches; safe while playing.
    void setFrameSink(VideoFrameSink *sink);

Q_SIGNALS:
    void mediaChanged(const QString &path);
    void mediaStateChanged(MediaService::MediaState state);
    void mediaStatusChanged(MediaService::MediaStatus status);
    void positionChanged(qint64 position);
    void volumeChanged(long volume);

public Q_SLOTS:
    /// The 100 ms poll while playing: reports the position and stops at the end of the file.
    void checkEvent();

private:
    void setState(MediaState state);
    void setStatus(MediaStatus status);
    void startAudio(int sampleRate, int channels);
    void seekTo(qint64 positionUs);
    bool finished() const;
    void release();

    QString path;
    int type = 0;
    MediaState currentState = StoppedState;
    MediaStatus currentStatus = NoMedia;
    QSize size;
    bool seekable = false;
    long volumeLevel = 0;
    qint64 headerDurationUs = 0;
    quint64 serial = 0;
    VideoFrameSink *sink = nullptr;
    QTimer eventTimer;

    // Destroyed in reverse order: the threads first, then the queues and clock they use.
    std::unique_ptr<MediaClock> clock;
    std::unique_ptr<FrameQueue> frames;
    std::unique_ptr<AudioRing> ring;
    std::unique_ptr<AudioOutput> audio;
    std::unique_ptr<FramePresenter> presenter;
    std::unique_ptr<MediaDecoder> decoder;
};
