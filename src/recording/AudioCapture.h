#pragma once

#include <QAudioDevice>
#include <QThread>

class AudioGrabCallback;
class QAudioSource;
class QTimer;

/// Reads one sound input on a thread of its own and writes what it reads into a callback.
///
/// The input is read in 16-bit stereo at 44,100 Hz, whatever the device delivers, in short
/// periods so that a meter follows the voice. When the input stops delivering (unplugged,
/// removed from the sound server) the callback is cleared, so a meter falls to 0 rather than
/// freezing on the last sound. The callback must outlive the capture.
class AudioCapture
{
public:
    explicit AudioCapture(AudioGrabCallback &callback);
    ~AudioCapture();
    AudioCapture(const AudioCapture &) = delete;
    AudioCapture &operator=(const AudioCapture &) = delete;

    /// Starts the thread and prepares reading `device`; false when it cannot be read.
    bool open(const QAudioDevice &device);
    /// Starts reading; false when the sound server refuses the stream.
    bool start();
    /// Stops reading and ends the thread; safe to call when not open.
    void close();

private:
    template<typename Work> void onThread(Work work);
    void watchForSilence();

    AudioGrabCallback &callback;
    QThread thread;
    QObject *context = nullptr; // lives on `thread`, runs the work given to it
    QAudioSource *source = nullptr; // lives on `thread`
    QTimer *watchdog = nullptr; // lives on `thread`
    quint64 buffersAtLastLook = 0; // touched on `thread` only
};
