#pragma once

#include <QByteArray>

#include <memory>

/// The sound of a recording: one input read at 8,000 Hz, 16-bit stereo on a thread of its own,
/// kept until the writer takes it.
///
/// Muted, the input still delivers, as zeros, so that a muted recording has a silent sound
/// track rather than none. Paused, it only measures the level. An input that goes away (a
/// microphone unplugged) is reported lost; the recording goes on in silence.
class RecordingAudioInput
{
public:
    static constexpr int SampleRate = 8000;
    static constexpr int Channels = 2;
    static constexpr int BytesPerFrame = Channels * 2;

    RecordingAudioInput();
    ~RecordingAudioInput();
    RecordingAudioInput(const RecordingAudioInput &) = delete;
    RecordingAudioInput &operator=(const RecordingAudioInput &) = delete;

    /// Starts reading the input at `deviceIndex` of the input list (-1 the default input).
    /// False when it cannot be read.
    bool open(int deviceIndex);
    void close();

    void setMuted(bool muted);
    bool isMuted() const;
    /// While paused the sound is measured, not kept.
    void setPaused(bool paused);

    /// Appends the sound read since the last call (whole frames) to `pcm`.
    void takeSound(QByteArray &pcm);
    /// The input has stopped delivering for good.
    bool isLost() const;
    /// The recording's input level (see AudioLevel::ofRecordingBuffer).
    quint16 level() const;

private:
    struct State;
    std::unique_ptr<State> state;
};
