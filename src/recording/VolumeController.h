#pragma once

#include <SharedComponent.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

/// The volumes the recording controls offer, on the sound server: the input the recording takes
/// its sound from and, by number, the default output and the default input. 65535 stands for
/// 100 % on every scale here. A volume that cannot be read is 0; a write that fails returns false.
/// Both are logged. One process-wide instance; get it with getInstance() and give it back with
/// release().
class VolumeController : public SharedComponent<VolumeController>
{
    friend SharedComponent;

public:
    /// The numbers volume() and setVolume() take.
    enum Target { DefaultOutput = 0, DefaultInput = 1 };

    void release() { releaseShared(); }

    /// The input named by the "recording/audioSource" setting.
    quint32 recordingVolume();
    bool setRecordingVolume(quint32 value);

    quint32 volume(int target);
    bool setVolume(int target, quint32 value);

private:
    class Server;

    VolumeController();
    ~VolumeController();

    /// Reads (no `value`) or writes a device's volume; the server's volume read or written.
    std::optional<quint32> accessTarget(int target, std::optional<quint32> value,
                                        const char *function);
    std::optional<quint32> accessRecording(std::optional<quint32> value, const char *function);
    /// The server's name of the input whose description matches `setting`; empty for none.
    QByteArray matchRecordingSource(const QString &setting, const char *function);

    std::mutex mutex;
    std::unique_ptr<Server> server;
    // The setting text the source was matched for, so that a changed setting is matched again.
    QString matchedSetting;
    QByteArray matchedSource;
};
