#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <memory>

struct DesktopPicture;

/// One AVI file of a recording: a 25 frames per second video stream and, optionally, an
/// 8,000 Hz 16-bit stereo PCM stream. The encoder and the file's header are set up with the
/// first picture, so that a codec failure shows there.
class AviFile
{
public:
    struct Format
    {
        QSize frameSize;
        /// MPEG-4 Part 2 tagged XVID; otherwise 24-bit BGR bottom-up.
        bool compressed = true;
        bool sound = false;
        /// Makes the compressed encoder's set-up fail, as a missing codec would.
        bool failCodec = false;
    };

    enum class Result { Written, CodecFailed, WriteFailed };

    AviFile();
    ~AviFile();
    AviFile(const AviFile &) = delete;
    AviFile &operator=(const AviFile &) = delete;

    /// Creates `path`; false with the reason in `error` when it cannot be.
    bool open(const QString &path, const Format &format, QString *error);

    /// Scales `picture` to the frame size and writes it as frame `index` (1/25 s each); frames
    /// skipped in between stay empty.
    Result writePicture(const DesktopPicture &picture, qint64 index, QString *error);
    /// Appends whole 4-byte sample frames of PCM after the sound written so far.
    bool writeSound(const QByteArray &pcm, QString *error);

    bool hasFrames() const;
    /// Sample frames (1/8,000 s) written so far.
    qint64 soundSamples() const;

    /// Puts what the muxer has written onto the disk; false after a write failure.
    bool flush(QString *error);
    /// Drains the encoder and writes the index; true when the file is complete.
    bool finish(QString *error);

private:
    struct State;
    std::unique_ptr<State> state;
};
