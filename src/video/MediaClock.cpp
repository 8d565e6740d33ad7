#include "MediaClock.h"

#include <algorithm>

namespace {

// A sound-driven clock waits this long for the first sound after a start or a seek before it
// runs on the wall clock, so that a file whose sound starts late still plays its pictures.
constexpr qint64 AudioWaitUs = 1000000;
// Between two reports of the audio output the clock runs on the wall clock, but no further than
// this past the last one: when the sound stalls, the pictures wait for it rather than run away.
constexpr qint64 AheadOfSoundUs = 250000;

} // namespace

qint64 MediaClock::elapsedUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - anchorTime).count();
}

qint64 MediaClock::positionLocked() const
{
    if (!running)
        return anchorUs;
    const qint64 elapsed = elapsedUs();
    if (!audioDriven || audioOver)
        return anchorUs + elapsed;
    if (audioHeard)
        return anchorUs + std::min(elapsed, AheadOfSoundUs);
    return anchorUs + std::max<qint64>(0, elapsed - AudioWaitUs);
}

void MediaClock::reanchor()
{
    anchorUs = positionLocked();
    anchorTime = Clock::now();
}

void MediaClock::reset(qint64 positionUs, quint64 newSerial)
{
    std::lock_guard lock(mutex);
    serial = newSerial;
    anchorUs = positionUs;
    anchorTime = Clock::now();
    audioHeard = false;
    audioOver = false;
    lastAudioUs = -1;
}

void MediaClock::setRunning(bool run)
{
    std::lock_guard lock(mutex);
    if (run == running)
        return;
    // Hold the position reached; the audio output's next reports go on from there.
    reanchor();
    running = run;
}

bool MediaClock::isRunning() const
{
    std::lock_guard lock(mutex);
    return running;
}

bool MediaClock::isTicking() const
{
    std::lock_guard lock(mutex);
    return running && (!audioDriven || audioHeard || audioOver || elapsedUs() > AudioWaitUs);
}

bool MediaClock::isWaitingForSound() const
{
    std::lock_guard lock(mutex);
    if (!running || !audioDriven || audioOver)
        return false;
    const qint64 elapsed = elapsedUs();
    return audioHeard ? elapsed > AheadOfSoundUs : elapsed <= AudioWaitUs;
}

void MediaClock::setAudioDriven(bool driven)
{
    std::lock_guard lock(mutex);
    reanchor();
    audioDriven = driven;
}

void MediaClock::audioPlayed(quint64 reportSerial, qint64 positionUs)
{
    std::lock_guard lock(mutex);
    if (reportSerial != serial || !audioDriven || positionUs == lastAudioUs)
        return;
    lastAudioUs = positionUs;
    if (!running)
        return;
    anchorUs = positionUs;
    anchorTime = Clock::now();
    audioHeard = true;
}

void MediaClock::audioEnded(quint64 reportSerial)
{
    std::lock_guard lock(mutex);
    if (reportSerial != serial || audioOver)
        return;
    reanchor();
    audioOver = true;
}

qint64 MediaClock::now() const
{
    std::lock_guard lock(mutex);
    return positionLocked();
}
