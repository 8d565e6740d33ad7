#pragma once

#include <LogSystem.h>

#include <QString>

#include <atomic>
#include <type_traits>

/// One component's channel into the log system, registered under its key on first use.
///
///     static LogModule captureLog("velora/capture");
///     captureLog.log(LogSystem::LogCritical, "CaptureImpl::saveImageToPath - Not enough disk
///     space!"); captureLog.log(7, "CaptureImpl::captureScreen() - Capture succeed, path : %s",
///     qPrintable(path));
///
/// Formats follow printf (%d, %u, %f, %s with UTF-8 strings); fill Qt-style %1 placeholders with
/// QString::arg before the call.
class LogModule
{
public:
    /// The id before the module has registered.
    static constexpr int Unregistered = -2;
    /// The id of a module the log system does not log.
    static constexpr int NotLogged = -1;

    explicit LogModule(const char *key)
        : moduleKey(key)
    { }

    template<typename... Args> void log(int level, const QString &format, Args... args) const
    {
        static_assert((std::is_trivially_copyable_v<Args> && ...),
                      "pass C strings (qPrintable) and numbers, not Qt objects");
        if (willLog(level))
            logRaw(level, format.toUtf8().constData(), args...);
    }

    /// Registers the module if it has not yet; true when a message of `level` would be written.
    bool willLog(int level) const;

    /// The module's id: Unregistered, NotLogged or the id the log system gave.
    int id() const { return moduleId.load(); }
    const char *key() const { return moduleKey; }

private:
    void logRaw(int level, const char *format, ...) const;

    const char *moduleKey;
    // Registration is idempotent, so two threads racing to register store the same id.
    mutable std::atomic<int> moduleId{Unregistered};
};
