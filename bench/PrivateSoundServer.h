#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

/// A PulseAudio server of the benchmark's own (tools/pulse-session), so that a benchmark needs
/// neither sound hardware nor a desktop session: started by the constructor, which points
/// PULSE_SERVER at it, and stopped by the destructor.
class PrivateSoundServer
{
public:
    PrivateSoundServer()
    {
        started = run(QStringLiteral("start"));
        if (started)
            qputenv("PULSE_SERVER", ("unix:" + dir.path() + "/native").toLocal8Bit());
    }
    ~PrivateSoundServer()
    {
        if (started)
            run(QStringLiteral("stop"));
    }
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    bool isRunning() const { return started; }

    /// Runs pactl with `arguments` against the server; true when it succeeded.
    static bool pactl(const QStringList &arguments)
    {
        return finished(QStringLiteral("pactl"), arguments);
    }

private:
    bool run(const QString &command) const
    {
        return finished(QStringLiteral(VELORA_SOURCE_DIR "/tools/pulse-session"),
                        {command, dir.path()});
    }
    // Runs a command to its end, its output discarded.
    static bool finished(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
                && process.exitCode() == 0;
    }

    // A short path: the server's socket path may not exceed 107 bytes.
    QTemporaryDir dir{QStringLiteral("/tmp/velora-bench-XXXXXX")};
    bool started = false;
};
