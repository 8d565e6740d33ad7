#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <memory>

class QAudioSource;
class QTimer;

/// Reads one sound input on a thread of its own and hands every buffer it reads to a receiver.
///
/// The input is read as 16-bit stereo at the given rate, whatever the device delivers (the
/// sound server converts), in periods of the given length. When the input stops delivering for
/// the given time (a new stream gets ten seconds for its first sound), fails, or is no longer
/// listed (unplugged: the sound server would move the stream to another input) the stall
/// handler is told once.
class AudioCapture
{
public:
    /// Called on the capture thread with each buffer read.
    using Receiver = std::function<void(const char *data, qsizetype bytes)>;
    /// Called on the capture thread when the input stops delivering.
    using StallHandler = std::function<void()>;

    AudioCapture(int sampleRate, int periodMs, int stallMs, Receiver receiver,
                 StallHandler stalled);
    ~AudioCapture();
    AudioCapture(const AudioCapture &) = delete;
    AudioCapture &operator=(const AudioCapture &) = delete;

    /// Starts the thread and prepares reading `device`; false when it cannot be read.
    bool open(const QAudioDevice &device);
    /// Starts reading without waiting for the sound server; false when not open. A stream the
    /// server refuses is reported to the stall handler.
    bool start();
    /// Stops reading and ends the thread; safe to call when not open.
    void close();

private:
    class Pipe;
    template<typename Work> void onThread(Work &&work);
    void watchForStall();
    void reportStall(const char *why);

    QAudioFormat format;
    const int periodMs;
    const int stallMs;
    const StallHandler stalled;
    QThread thread;
    QObject *context = nullptr; // lives on `thread`, runs the work given to it
    // The members below are touched on `thread` only, once open() has started it.
    std::unique_ptr<Pipe> pipe;
    QAudioSource *source = nullptr;
    QTimer *watchdog = nullptr;
    QByteArray deviceId;
    quint64 buffersAtLastLook = 0;
    QElapsedTimer silentSince;
    bool stallReported = false;
    // Whether the stream has delivered since it started; until then it is given longer.
    bool heard = false;
};
