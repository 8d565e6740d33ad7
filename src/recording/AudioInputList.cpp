#include "AudioInputList.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QMetaMethod>
#include <QTimer>

namespace {

constexpr int PollMs = 500;

QStringList currentNames()
{
    QStringList names;
    for (const QAudioDevice &device : QMediaDevices::audioInputs())
        names.append(device.description());
    return names;
}

} // namespace

AudioInputList::AudioInputList(QObject *parent)
    : QObject(parent)
    , devices(new QMediaDevices(this))
    , cache(currentNames())
{
    // The sound server's notification arrives on its own thread; queued, the list is read again
    // on this object's thread.
    connect(devices, &QMediaDevices::audioInputsChanged, this, &AudioInputList::refresh,
            Qt::QueuedConnection);
    // Qt before 6.6 keeps its device list current on PulseAudio but never announces a change,
    // so the list is also compared twice a second, once somebody listens for changes. Reading
    // it asks the server nothing.
    poll = new QTimer(this);
    poll->setInterval(PollMs);
    connect(poll, &QTimer::timeout, this, &AudioInputList::refresh);
}

void AudioInputList::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&AudioInputList::inputsChanged) && !poll->isActive())
        poll->start();
}

AudioInputList::~AudioInputList() = default;

QStringList AudioInputList::names()
{
    const QStringList fresh = currentNames();
    if (fresh != cache)
        cache = fresh;
    return cache;
}

int AudioInputList::deviceCount() const
{
    return int(QMediaDevices::audioInputs().size());
}

void AudioInputList::refresh()
{
    const QStringList before = cache;
    if (names() != before)
        Q_EMIT inputsChanged(cache);
}
