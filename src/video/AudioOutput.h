#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QThread>

#include <atomic>

class AudioRing;
class MediaClock;
class QAudioSink;
class QIODevice;

/// The sound of a MediaService: a QAudioSink on a thread of its own, fed every 10 ms from the
/// AudioRing with the volume applied as a gain, and telling the MediaClock which sample has
/// been played.
///
/// Qt's sink is fed from its owner thread's event loop; on the GUI thread a long paint would
/// starve it and the sound would stutter, so it gets its own loop here.
class AudioOutput : public QThread
{
    Q_OBJECT

public:
    AudioOutput(const QAudioDevice &device, const QAudioFormat &format, AudioRing &ring,
                MediaClock &clock);
    /// Stops the loop and joins the thread.
    ~AudioOutput() override;

    void setPaused(bool paused);
    /// `gain` multiplies every sample: 0 silent, 1 as decoded.
    void setGain(double gain);
    /// True once the output could not be opened or broke down; the clock then runs on the wall
    /// clock and playback goes on silently.
    bool failed() const { return broken.load(); }
    /// True when every sample of `serial` has been played (or the output failed).
    bool drained(quint64 serial) const;
    const QAudioFormat &audioFormat() const { return format; }

protected:
    void run() override;

private:
    void feed(QAudioSink &sink, QIODevice *&io);
    void applyGain(char *data, qsizetype bytes) const;
    void fail(const char *reason);

    const QAudioDevice device;
    const QAudioFormat format;
    AudioRing &ring;
    MediaClock &clock;

    std::atomic<bool> paused{true};
    std::atomic<double> gain{1.0};
    std::atomic<bool> broken{false};
    std::atomic<quint64> drainedSerial{~quint64(0)};

    // Feeding state, touched only on the output's thread.
    quint64 serial = ~quint64(0);
    bool sinkStarted = false;
    qint64 basePtsUs = 0;
    qint64 writtenUs = 0;
    QByteArray chunk;
};
