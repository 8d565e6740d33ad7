#include "MediaClock.h"

namespace {

// A sound-driven clock waits this long for the first sound after a start or a seek before it
// runs on the wall clock, so that a file whose sound starts late still plays its pictures.
constexpr qint64 AudioWaitUs = 1000000;

} // namespace

qint64 MediaClock::elapsedUs(Clock::time_point since) const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - since).count();
}

void MediaClock::reset(qint64 positionUs, quint64 newSerial)
{
    std::lock_guard lock(mutex);
    serial = newSerial;
    anchorUs = positionUs;
    anchorTime = Clock::now();
    audioHeard = false;
    lastAudioUs = -1;
}

void MediaClock::setRunning(bool run)
{
    std::lock_guard lock(mutex);
    if (run == running)
        return;
    if (!run) {
        // Hold the position reached; the audio output's next reports go on from there.
        const qint64 elapsed = elapsedUs(anchorTime);
        if (!audioDriven || audioHeard)
            anchorUs += elapsed;
        else if (elapsed > AudioWaitUs)
            anchorUs += elapsed - AudioWaitUs;
    }
    anchorTime = Clock::now();
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
    return running && (!audioDriven || audioHeard || elapsedUs(anchorTime) > AudioWaitUs);
}

void MediaClock::setAudioDriven(bool driven)
{
    std::lock_guard lock(mutex);
    if (running) {
        const qint64 elapsed = elapsedUs(anchorTime);
        if (!audioDriven || audioHeard)
            anchorUs += elapsed;
        anchorTime = Clock::now();
    }
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

qint64 MediaClock::now() const
{
    std::lock_guard lock(mutex);
    if (!running)
        return anchorUs;
    const qint64 elapsed = elapsedUs(anchorTime);
    if (!audioDriven || audioHeard)
        return anchorUs + elapsed;
    return elapsed > AudioWaitUs ? anchorUs + elapsed - AudioWaitUs : anchorUs;
}
