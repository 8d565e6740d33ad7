#include "AudioGrabCallback.h"

#include "AudioLevel.h"

void AudioGrabCallback::clear()
{
    lastLevel.store(0, std::memory_order_relaxed);
    buffers.store(0, std::memory_order_release);
}

void AudioGrabCallback::receive(const char *data, qsizetype bytes)
{
    lastLevel.store(AudioLevel::ofMonitorBuffer(data, bytes), std::memory_order_relaxed);
    buffers.fetch_add(1, std::memory_order_release);
}
