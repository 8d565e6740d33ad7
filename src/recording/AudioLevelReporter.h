#pragma once

#include "AudioGrabCallback.h"

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>

class AudioCapture;

/// The live input level the recording controls show: opens one sound input by name, reads it
/// on a thread of its own and offers the level of what it last read.
///
/// open(), start() and close() may be called from any thread and take the reporter's mutex;
/// level() never blocks, so a meter may read it on every tick.
class AudioLevelReporter : public QObject
{
    Q_OBJECT

public:
    explicit AudioLevelReporter(QObject *parent = nullptr);
    ~AudioLevelReporter() override;

    /// Opens the first input whose full name contains `inputName` or is contained in it (case
    /// does not matter); an empty name opens the system's default input. False when no input
    /// matches or it cannot be read; the level stays 0 then.
    bool open(const QString &inputName);
    /// Starts reading the opened input; false when none is open or the server refuses.
    bool start();
    /// The level of the sound read last, 0 to 100 and a little beyond; 0 when closed, silent
    /// or when the input has gone away.
    quint16 level() const { return callback.level(); }
    /// How many sound buffers arrived since start(): tells a silent input from one not yet read.
    quint64 buffersRead() const { return callback.buffersSeen(); }
    /// Stops reading and lets the input go.
    void close();

private:
    std::mutex mutex;
    AudioGrabCallback callback;
    std::unique_ptr<AudioCapture> capture;
};
