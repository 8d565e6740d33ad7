#include "LogSystem.h"

#include "SysLogger.h"

#include <QDateTime>

#include <mutex>

LogSystem *LogSystem::getSysLogSystem()
{
    // Deliberately leaked: components may still log from their destructors during exit.
    static LogSystem *const instance = new LogSystem;
    return instance;
}

LogSystem::LogSystem() = default;

LogSystem::~LogSystem() = default;

void LogSystem::setLogger(SysLogger *newLogger)
{
    std::lock_guard lock(mutex);
    if (logger && running)
        logger->close();
    logger.reset(newLogger);
    if (logger && running)
        logger->open();
}

void LogSystem::setLogLevel(LogLevel level)
{
    threshold = level;
}

LogSystem::LogLevel LogSystem::logLevel() const
{
    return static_cast<LogLevel>(threshold.load());
}

void LogSystem::enableAllLog()
{
    std::lock_guard lock(mutex);
    disabledModules.clear();
}

void LogSystem::setModuleEnabled(const QString &moduleKey, bool enabled)
{
    std::lock_guard lock(mutex);
    if (enabled)
        disabledModules.remove(moduleKey);
    else
        disabledModules.insert(moduleKey);
}

void LogSystem::startLog()
{
    std::lock_guard lock(mutex);
    if (running)
        return;
    if (logger)
        logger->open();
    running = true;
}

void LogSystem::stopLog()
{
    std::lock_guard lock(mutex);
    if (!running)
        return;
    running = false;
    if (logger)
        logger->close();
}

bool LogSystem::isLogging() const
{
    return running;
}

int LogSystem::registerLoggedModule(const QString &moduleKey)
{
    std::lock_guard lock(mutex);
    if (disabledModules.contains(moduleKey))
        return -1;
    const auto found = moduleIds.constFind(moduleKey);
    if (found != moduleIds.constEnd())
        return *found;
    const int id = int(moduleKeys.size());
    moduleKeys.append(moduleKey);
    moduleIds.insert(moduleKey, id);
    return id;
}

QString LogSystem::formatLine(const QString &moduleKey, LogLevel level, const QString &text)
{
    QString flat = text;
    // One message, one line: a stray line break must not forge a second entry.
    flat.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    flat.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return QStringLiteral("%1 [%2] %3: %4")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
            .arg(int(level))
            .arg(moduleKey, flat);
}

void LogSystem::log(int moduleId, LogLevel level, const QString &format, va_list args)
{
    if (moduleId < 0 || !running || int(level) > threshold)
        return;

    // Format outside the lock; only the write is serialised.
    const QString text = QString::vasprintf(format.toUtf8().constData(), args);

    std::lock_guard lock(mutex);
    if (!running || !logger || moduleId >= moduleKeys.size())
        return;
    const QString &key = moduleKeys.at(moduleId);
    if (disabledModules.contains(key))
        return;
    logger->write(formatLine(key, level, text));
}
