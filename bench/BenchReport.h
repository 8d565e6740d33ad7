#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

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

enum class Better { Higher, Lower };

inline void report(const char *name, double velora, double reference, const char *unit,
                   Better better, const char *referenceTool)
{
    std::printf("BENCH %s|%.6g|%.6g|%s|%s|%s\n", name, velora, reference, unit,
                better == Better::Higher ? "higher" : "lower", referenceTool);
    std::fflush(stdout);
}

} // namespace Bench
