#pragma once

#include <QObject>
#include <QStringList>

class QMediaDevices;
class QTimer;

/// The sound inputs of the machine by their full, human-readable names (what the sound server
/// calls "description": "Webcam C270 Analog Stereo", not a truncated product name), in the
/// server's device order.
///
/// The names are cached; a fresh reading replaces the cache whenever any name differs. The
/// sound server reports inputs that come and go, so a microphone plugged in appears without a
/// restart. Lives on the thread that made it, which needs an event loop.
class AudioInputList : public QObject
{
    Q_OBJECT

public:
    explicit AudioInputList(QObject *parent = nullptr);
    ~AudioInputList() override;

    /// The full names of all inputs now; empty when the machine has none.
    QStringList names();
    /// How many inputs there are now; cheap enough to poll every half second.
    int deviceCount() const;

Q_SIGNALS:
    /// The inputs changed; `names` is the new list.
    void inputsChanged(const QStringList &names);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    void refresh();

    QMediaDevices *devices;
    QTimer *poll;
    QStringList cache;
};
