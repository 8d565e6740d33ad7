#pragma once

#include <SysLogger.h>

#include <QStringList>

#include <mutex>

/// Keeps every line the log system writes, for tests that expect particular lines. Install it
/// with LogSystem::getSysLogSystem()->setLogger(new LogLines).
struct LogLines : SysLogger
{
    static inline std::mutex mutex;
    static inline QStringList lines;

    void write(const QString &line) override
    {
        std::lock_guard lock(mutex);
        lines.append(line);
    }
    static void clear()
    {
        std::lock_guard lock(mutex);
        lines.clear();
    }
    /// How many lines written so far contain `text`.
    static int count(const QString &text)
    {
        std::lock_guard lock(mutex);
        return int(lines.filter(text).size());
    }
};
