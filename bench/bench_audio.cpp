// How long the input level takes to come alive after the user picks another input: from
// opening the level monitor on the input to its first sound buffer, against parec (the sound
// server's own recorder, asked for a 30 ms latency) from its start to its first bytes. Both
// alternate between two inputs of a private sound server that this program starts.

#include "BenchReport.h"
#include "PrivateSoundServer.h"

#include <AudioLevelReporter.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

struct Input
{
    QString description;
    QString sourceName;
};

} // namespace

int main(int argc, char **argv)
{
    PrivateSoundServer sound;
    if (!sound.isRunning()) {
        std::fprintf(stderr, "bench_audio: no sound server\n");
        return 1;
    }
    // A second input that, like a microphone, delivers at the pace its reader asks for (a sink's
    // monitor delivers in two-second blocks while nothing plays).
    PrivateSoundServer::pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                               QStringLiteral("source_name=velora_bench_input"),
                               QStringLiteral("description=Velora\\ bench\\ input")});
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        const Input inputs[]
                = {{QStringLiteral("Velora null input"), QStringLiteral("velora_null_input")},
                   {QStringLiteral("Velora bench input"), QStringLiteral("velora_bench_input")}};
        constexpr int Switches = 40;
        constexpr qint64 GiveUpMs = 5000;

        std::vector<double> monitorMs;
        AudioLevelReporter reporter;
        // One open first, so that the sound server's connection exists as it does once Velora
        // has shown its level once; parec connects anew each time and pays for it.
        reporter.open(inputs[1].description);
        for (int i = 0; i < Switches; ++i) {
            const Input &input = inputs[i % 2];
            QElapsedTimer timer;
            timer.start();
            if (!reporter.open(input.description) || !reporter.start()) {
                std::fprintf(stderr, "bench_audio: %s cannot be read\n",
                             qPrintable(input.description));
                status = 1;
                break;
            }
            while (reporter.buffersRead() == 0 && timer.elapsed() < GiveUpMs)
                QThread::usleep(100);
            monitorMs.push_back(timer.nsecsElapsed() / 1e6);
        }
        reporter.close();

        std::vector<double> parecMs;
        for (int i = 0; i < Switches; ++i) {
            const Input &input = inputs[i % 2];
            QProcess parec;
            QElapsedTimer timer;
            timer.start();
            parec.start(
                    QStringLiteral("parec"),
                    {QStringLiteral("--latency-msec=30"), QStringLiteral("-d"), input.sourceName});
            parec.waitForReadyRead(int(GiveUpMs));
            parecMs.push_back(timer.nsecsElapsed() / 1e6);

            parec.kill();
            parec.waitForFinished();
        }

        std::printf("monitor first buffer: median %.2f ms, slowest %.2f ms over %d switches\n",
                    Bench::median(monitorMs), Bench::percentile(monitorMs, 1.0), Switches);
        Bench::report("audio level first buffer after switching input (median)",
                      Bench::median(monitorMs), Bench::median(parecMs), "ms", Bench::Better::Lower,
                      "parec --latency-msec=30 -d SOURCE, start to first bytes (median)");
    }
    return status;
}
