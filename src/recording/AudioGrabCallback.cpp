#include "AudioGrabCallback.h"

#include "AudioLevel.h"

AudioGrabCallback::AudioGrabCallback()
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

void AudioGrabCallback::clear()
{
    lastLevel.store(0, std::memory_order_relaxed);
    buffers.store(0, std::memory_order_release);
}

qint64 AudioGrabCallback::readData(char *, qint64)
{
    return -1;
}

qint64 AudioGrabCallback::writeData(const char *data, qint64 size)
{
    lastLevel.store(AudioLevel::ofMonitorBuffer(data, size), std::memory_order_relaxed);
    buffers.fetch_add(1, std::memory_order_release);
    return size;
}
