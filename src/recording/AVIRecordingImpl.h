#pragma once

#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>
#include <memory>

class RecordingAudioInput;
class ScreenGrabber;
struct DesktopPicture;

/// Writes one recording: desktop pictures, scaled to the frame size, at 25 frames per second
/// into AVI files, with the sound of an input when there is one. Long recordings are split into
/// parts of at most 870 s of recorded time.
///
/// A recording ends under the name it was opened with: a single file keeps the target name, and
/// the parts of a split recording are "<base>_1.<suffix>", "<base>_2.<suffix>", ... beside it.
/// While a file is written, AVIRecovery's marker stands beside it.
///
/// All calls but togglePause(), setMuted() and the queries come from one thread (the recording
/// worker); the writer's mutex guards opening, closing, pausing and the encoder set-up.
class AVIRecordingImpl : public QObject
{
    Q_OBJECT

public:
    /// What addFrame() and addPicture() return.
    enum FrameResult {
        FrameAdded = 0,
        /// Paused or closed: nothing to add.
        NothingAdded = 1,
        /// The encoder refused the frame. (A compressed encoder that cannot be set up gives way to
        /// uncompressed frames instead.)
        CodecFailed = -1,
        /// No picture, or the file could not be written.
        FrameFailed = -2,
    };

    /// The four-character codec of uncompressed frames (24-bit BGR, bottom-up).
    static constexpr const char *Uncompressed = "DIB ";

    AVIRecordingImpl();
    ~AVIRecordingImpl() override;

    /// The file the recording is written to; "out.avi" when none is given.
    void setTargetName(const QString &path);
    /// Creates the file for frames of `frameSize`. `audio` (may be null: no sound stream) must
    /// stay open until close(). `codec` shorter than four characters selects the compressed
    /// form (MPEG-4 Part 2 tagged XVID); "DIB " uncompressed frames. For tests, the environment
    /// variable VELORA_FORCE_CODEC_FAILURE=1 (read here) makes the compressed form's encoder
    /// set-up fail, so that the file takes uncompressed frames.
    bool open(std::unique_ptr<ScreenGrabber> grabber, QSize frameSize, RecordingAudioInput *audio,
              const QString &codec);
    bool isOpen() const;

    /// Grabs the desktop and adds it as the frame of the current 40 ms slot; when that slot has
    /// its frame already, waits for the next (with a clock set by setClock() it does not wait
    /// but returns NothingAdded while the clock stays in the slot). Also writes the sound taken
    /// since the last frame.
    FrameResult addFrame();
    /// The same with a picture already at hand (addFrame() grabs and calls this).
    FrameResult addPicture(const DesktopPicture &picture);

    /// Pauses or resumes; paused time is not in the file. Returns whether now paused.
    bool togglePause();
    bool isPaused() const;
    void setMuted(bool muted);
    bool isMuted() const;

    /// Finishes the recording and returns the files written, in order. A recording of several
    /// parts has its first part renamed "<base>_1.<suffix>"; a single file keeps its name.
    QStringList close();

    /// The writer's clock in milliseconds (monotonic). Tests move it on to reach a split
    /// without waiting; an empty function restores the real clock.
    static void setClock(std::function<qint64()> clock);

private:
    friend class TestAviWriter;

    /// open() that may have a sound stream without an input (`withSound`); addSound() feeds it.
    bool openFile(std::unique_ptr<ScreenGrabber> grabber, QSize frameSize,
                  RecordingAudioInput *audio, bool withSound, const QString &codec);
    /// Queues 8,000 Hz 16-bit stereo sound for the next frame, as the input's sound is queued.
    void addSound(const QByteArray &pcm);

    struct State;
    std::unique_ptr<State> state;
};
