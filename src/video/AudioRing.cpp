#include "AudioRing.h"

#include <algorithm>
#include <chrono>
#include <cstring>

AudioRing::AudioRing(qsizetype capacityBytes, qint64 bytesPerSecond)
    : buffer(capacityBytes, Qt::Uninitialized)
    , bytesPerSecond(bytesPerSecond)
{ }

bool AudioRing::write(const char *data, qsizetype bytes, qint64 ptsUs, quint64 serial)
{
    std::unique_lock lock(mutex);
    while (bytes > 0) {
        notFull.wait(lock,
                     [&] { return aborted || serial != currentSerial || size < buffer.size(); });
        if (aborted || serial != currentSerial)
            return false;
        if (size == 0)
            headPtsUs = ptsUs;
        const qsizetype tail = (head + size) % buffer.size();
        const qsizetype chunk = std::min({bytes, buffer.size() - size, buffer.size() - tail});
        std::memcpy(buffer.data() + tail, data, size_t(chunk));
        size += chunk;
        data += chunk;
        bytes -= chunk;
        ptsUs += chunk * 1000000 / bytesPerSecond;
    }
    return true;
}

qsizetype AudioRing::read(char *out, qsizetype maxBytes, int frameBytes, quint64 *serial,
                          qint64 *ptsUs)
{
    std::lock_guard lock(mutex);
    *serial = currentSerial;
    *ptsUs = headPtsUs;
    qsizetype wanted = std::min(maxBytes, size);
    wanted -= wanted % frameBytes;
    qsizetype done = 0;
    while (done < wanted) {
        const qsizetype chunk = std::min(wanted - done, buffer.size() - head);
        std::memcpy(out + done, buffer.constData() + head, size_t(chunk));
        head = (head + chunk) % buffer.size();
        done += chunk;
    }
    size -= done;
    headPtsUs += done * 1000000 / bytesPerSecond;
    if (done > 0)
        notFull.notify_all();
    return done;
}

qint64 AudioRing::bufferedUs() const
{
    std::lock_guard lock(mutex);
    return size * 1000000 / bytesPerSecond;
}

void AudioRing::setEnded(quint64 serial)
{
    std::lock_guard lock(mutex);
    if (serial == currentSerial)
        ended = true;
}

bool AudioRing::drained(quint64 serial) const
{
    std::lock_guard lock(mutex);
    return serial == currentSerial && ended && size == 0;
}

quint64 AudioRing::serial() const
{
    std::lock_guard lock(mutex);
    return currentSerial;
}

void AudioRing::reset(quint64 serial)
{
    std::lock_guard lock(mutex);
    head = 0;
    size = 0;
    currentSerial = serial;
    ended = false;
    notFull.notify_all();
}

void AudioRing::abort()
{
    std::lock_guard lock(mutex);
    aborted = true;
    notFull.notify_all();
}
