#pragma once

#include <QtGlobal>

#include <chrono>
#include <mutex>

/// The playback position every thread of a MediaService times itself by, in microseconds.
///
/// With sound it follows the samples the audio output reports played, and runs on the wall
/// clock between two reports; without sound it is the wall clock. Each seek starts a new
/// serial, and reports of an older serial are ignored, so that sound still queued from before a
/// seek cannot move the clock.
class MediaClock
{
public:
    /// Moves the clock to `positionUs` for the seek numbered `serial`. A sound-driven clock then
    /// waits for the first sound of that serial before it runs on.
    void reset(qint64 positionUs, quint64 serial);
    /// Starts or stops the clock; a stopped clock holds its position.
    void setRunning(bool running);
    bool isRunning() const;
    /// Running and, when sound-driven, the sound of the current serial has started (or failed
    /// to within a second): pictures are due only while the clock ticks.
    bool isTicking() const;
    /// Whether the clock waits for and follows the audio output's reports.
    void setAudioDriven(bool audioDriven);
    /// From the audio output: the samples of `serial` up to `positionUs` have been played.
    void audioPlayed(quint64 serial, qint64 positionUs);
    qint64 now() const;

private:
    using Clock = std::chrono::steady_clock;

    qint64 elapsedUs(Clock::time_point since) const;

    mutable std::mutex mutex;
    bool running = false;
    bool audioDriven = false;
    // Sound of the current serial has been reported since the last reset.
    bool audioHeard = false;
    quint64 serial = 0;
    qint64 anchorUs = 0;
    Clock::time_point anchorTime = Clock::now();
    qint64 lastAudioUs = -1;
};
