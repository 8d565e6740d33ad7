#pragma once

#include <QtGlobal>

#include <chrono>
#include <mutex>

/// The playback position every thread of a MediaService times itself by, in microseconds.
///
/// With sound it follows the samples the audio output reports played, and runs on the wall
/// clock between two reports (for a while: a stalled sound holds it) and after the sound has
/// ended; without sound it is the wall clock. Each seek starts a new
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
    /// Running but held until the audio output reports sound: its first after a start or a
    /// seek, or the next after a stall.
    bool isWaitingForSound() const;
    /// Whether the clock waits for and follows the audio output's reports.
    void setAudioDriven(bool audioDriven);
    /// From the audio output: the samples of `serial` up to `positionUs` have been played.
    void audioPlayed(quint64 serial, qint64 positionUs);
    /// From the audio output: the sound of `serial` is over; the clock runs on without it.
    void audioEnded(quint64 serial);
    qint64 now() const;

private:
    using Clock = std::chrono::steady_clock;

    qint64 elapsedUs() const;
    qint64 positionLocked() const;
    void reanchor();

    mutable std::mutex mutex;
    bool running = false;
    bool audioDriven = false;
    // Sound of the current serial has been reported since the last reset.
    bool audioHeard = false;
    bool audioOver = false;
    quint64 serial = 0;
    qint64 anchorUs = 0;
    Clock::time_point anchorTime = Clock::now();
    qint64 lastAudioUs = -1;
};
