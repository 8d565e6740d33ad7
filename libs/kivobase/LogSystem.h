#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdarg>
#include <memory>
#include <mutex>

class SysLogger;

/// The process-wide log system. Modules register once under a key and then log printf-style
/// messages with a severity; lines at or above the threshold's severity reach the installed
/// logger while logging runs. Every operation may be called from any thread.
class LogSystem
{
public:
    /// Lower is more severe.
    enum LogLevel {
        LogEmergency = 0,
        LogAlert = 1,
        LogCritical = 2, ///< a failure that ends an operation
        LogError = 3, ///< a refused request
        LogWarning = 4, ///< a notable event
        LogNotice = 5, ///< a notice; the default threshold
        LogInfo = 6, ///< call tracing
        LogDebug = 7, ///< detail
    };

    /// The one log system of the process; never destroyed before exit.
    static LogSystem *getSysLogSystem();

    /// Installs `logger` and takes ownership of it; the previous logger is closed and destroyed.
    void setLogger(SysLogger *logger);
    void setLogLevel(LogLevel level);
    LogLevel logLevel() const;

    /// Enables every module, including those disabled with setModuleEnabled().
    void enableAllLog();
    /// A module disabled before it registers gets the id -1 and is never logged; one disabled
    /// later stays registered but is silent until enabled again.
    void setModuleEnabled(const QString &moduleKey, bool enabled);

    void startLog();
    void stopLog();
    bool isLogging() const;

    /// Returns the module's id (the same id for the same key every time), or -1 when the
    /// module is not to be logged.
    int registerLoggedModule(const QString &moduleKey);

    /// Formats `format` (printf conventions; %s takes UTF-8) with `args` and writes one line.
    void log(int moduleId, LogLevel level, const QString &format, va_list args);

    /// The complete line written for a message; the format every log file uses.
    static QString formatLine(const QString &moduleKey, LogLevel level, const QString &text);

private:
    LogSystem();
    ~LogSystem();
    LogSystem(const LogSystem &) = delete;
    LogSystem &operator=(const LogSystem &) = delete;

    // std::mutex rather than QMutex: ThreadSanitizer sees through pthreads, not through the
    // futex calls inside an uninstrumented Qt.
    mutable std::mutex mutex;
    std::unique_ptr<SysLogger> logger;
    std::atomic<int> threshold{LogNotice};
    std::atomic<bool> running{false};
    QStringList moduleKeys; // index is the module id
    QHash<QString, int> moduleIds;
    QSet<QString> disabledModules;
};
