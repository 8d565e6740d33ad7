#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace Bench {

/// Runs `body` repeatedly for about `seconds` and returns the calls per second; the best of
/// three rounds, so a moment of load on the machine does not count against either side.
template<typename Body> double callsPerSecond(Body body, double seconds = 1.0)
{
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        qint64 calls = 0;
        while (timer.nsecsElapsed() < qint64(seconds * 1e9)) {
            for (int i = 0; i < 16; ++i)
                body(calls++);
        }
        best = qMax(best, calls / (timer.nsecsElapsed() / 1e9));
    }
    return best;
}

/// The value `share` of `values` lie at or below (0.5 the median, 0.99 the 99th percentile);
/// 0 when there are none.
template<typename Values> double percentile(Values values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto last = std::size_t(values.size()) - 1;
    return values[std::min(last, std::size_t(double(values.size()) * share))];
}

/// The middle value, or the mean of the middle two; 0 when there are none.
template<typename Values> double median(Values values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = std::size_t(values.size());
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

/// User and system CPU seconds of RUSAGE_SELF or RUSAGE_CHILDREN (the children waited for).
inline double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// The fields of /proc/<pid>/stat after the command name (which may hold spaces): the state is
/// the first, the parent the second, user and system CPU ticks the 12th and 13th. Empty when
/// the process has gone.
inline QList<QByteArray> processStat(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

/// User and system CPU seconds the process `pid` has used, from /proc; 0 when unknown.
inline double processCpuSeconds(qint64 pid)
{
    const QList<QByteArray> fields = processStat(pid);
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

/// How long a benchmark measures: `standard` seconds, or VELORA_BENCH_SECONDS while tuning (the
/// reported figures use the standard).
inline int measuredSeconds(int standard)
{
    const int asked = qEnvironmentVariableIntValue("VELORA_BENCH_SECONDS");
    return asked > 0 ? asked : standard;
}

/// Points HOME and the XDG data and configuration folders at `home`, so that a benchmark's
/// settings, library and thumbnails are its own and go with it.
inline void useHome(const QString &home)
{
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qunsetenv("XDG_DOCUMENTS_DIR");
}

enum class Better { Higher, Lower };

inline void report(const char *name, double velora, double reference, const char *unit,
                   Better better, const char *referenceTool)
{
    std::printf("BENCH %s|%.6g|%.6g|%s|%s|%s\n", name, velora, reference, unit,
                better == Better::Higher ? "higher" : "lower", referenceTool);
    std::fflush(stdout);
}

/// The time from each event sent to the first paint that ended after it, in milliseconds;
/// events no paint followed are left out. Both lists are in nanoseconds, in time order.
inline std::vector<double> eventLatencies(const std::vector<qint64> &sentNs,
                                          const std::vector<qint64> &paintedNs)
{
    std::vector<double> latencies;
    for (const qint64 sent : sentNs) {
        const auto painted = std::lower_bound(paintedNs.begin(), paintedNs.end(), sent);
        if (painted != paintedNs.end())
            latencies.push_back((*painted - sent) / 1e6);
    }
    return latencies;
}

/// The longest gap between turns of the GUI thread's event loop, seen by a 1 ms timer.
class StallMonitor : public QObject
{
public:
    StallMonitor()
    {
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(1);
        connect(&ticker, &QTimer::timeout, this, [this] { tick(); });
    }
    void start()
    {
        longestNs = 0;
        clock.start();
        last = 0;
        ticker.start();
    }
    /// Counts a stretch the caller itself blocked, such as a synchronous call.
    void account(qint64 blockedNs) { longestNs = qMax(longestNs, blockedNs); }
    double longestMs()
    {
        tick();
        return longestNs / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        longestNs = qMax(longestNs, now - last);
        last = now;
    }

    QTimer ticker;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestNs = 0;
};

} // namespace Bench
