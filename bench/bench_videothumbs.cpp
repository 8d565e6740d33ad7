// Thumbnails of a folder of 50 recordings as Velora writes them (1920 × 1080 MPEG-4 tagged XVID,
// quantiser 5, a key frame in ten, PCM sound at 8,000 Hz, 20 s each), made by the media library's
// video thumbnail generator from the frame at 3 s, against ffmpegthumbnailer making the same
// 60-pixel thumbnails from 3 s, one file after another as the generator goes. Reported: wall
// time until the last thumbnail is written, CPU per recording (the generator's figure includes
// writing each length into the recording's information), the same against the tool less its
// start-up (measured as `ffmpegthumbnailer -h`, which loads the same libraries), and the longest
// stall of the GUI thread meanwhile against that of an idle event loop for as long. Each side runs
// three times; the median counts.

#include "BenchReport.h"

#include "MediaInfoStore.h"
#include "VideoThumbnailGenerator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int Recordings = 50;
constexpr int Rounds = 3;

bool makeRecording(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  {"-v",
                   "error",
                   "-y",
                   "-f",
                   "lavfi",
                   "-i",
                   "testsrc2=size=1920x1080:rate=25:duration=20",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=frequency=440:sample_rate=8000:duration=20",
                   "-ac",
                   "2",
                   "-c:v",
                   "mpeg4",
                   "-vtag",
                   "XVID",
                   "-g",
                   "10",
                   "-qscale:v",
                   "5",
                   "-c:a",
                   "pcm_s16le",
                   path});
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

struct Run
{
    double wallMs = 0;
    double cpuMsPerFile = 0;
    double stallMs = 0;
    double startCpuMs = 0; // the reference's start-up alone, per call
};

bool thumbnailer(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpegthumbnailer"), arguments);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

Run generatorRun(const QString &folder, MediaInfoStore *store)
{
    // Thumbnails and information of the previous round go, so that every round does all.
    QDir(store->mirrorPath(folder)).removeRecursively();
    Bench::StallMonitor stalls;
    VideoThumbnailGenerator generator;
    int completed = 0;
    QEventLoop loop;
    QObject::connect(&generator, &VideoThumbnailGenerator::createThumbnailComplete, &loop, [&] {
        if (++completed == Recordings)
            loop.quit();
    });
    const double cpuBefore = Bench::cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    stalls.start();
    generator.generateFolder(folder);
    loop.exec();
    Run run;
    run.wallMs = clock.nsecsElapsed() / 1e6;
    run.cpuMsPerFile = (Bench::cpuSeconds(RUSAGE_SELF) - cpuBefore) * 1000 / Recordings;
    run.stallMs = stalls.longestMs();
    return run;
}

// The longest stall of an event loop that does nothing for `ms`: what the machine's other load
// costs any event loop.
double idleStallMs(double ms)
{
    Bench::StallMonitor stalls;
    QEventLoop loop;
    QTimer::singleShot(int(ms), &loop, &QEventLoop::quit);
    stalls.start();
    loop.exec();
    return stalls.longestMs();
}

Run referenceRun(const QString &folder, const QString &out)
{
    const double cpuBefore = Bench::cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Recordings; ++i) {
        if (!thumbnailer({"-i", QStringLiteral("%1/rec-%2.avi").arg(folder).arg(i), "-o",
                          QStringLiteral("%1/rec-%2.png").arg(out).arg(i), "-s", "60", "-t",
                          "00:00:03"}))
            qFatal("ffmpegthumbnailer failed");
    }
    Run run;
    run.wallMs = clock.nsecsElapsed() / 1e6;
    const double cpuBetween = Bench::cpuSeconds(RUSAGE_CHILDREN);
    run.cpuMsPerFile = (cpuBetween - cpuBefore) * 1000 / Recordings;
    // Loading its libraries costs the tool more than a thumbnail; the generator has them loaded.
    for (int i = 0; i < Recordings; ++i)
        thumbnailer({"-h"});
    run.startCpuMs = (Bench::cpuSeconds(RUSAGE_CHILDREN) - cpuBetween) * 1000 / Recordings;
    return run;
}

template<typename Field> double median(const std::vector<Run> &runs, Field field)
{
    std::vector<double> values;
    for (const Run &run : runs)
        values.push_back(run.*field);
    return Bench::median(values);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qunsetenv("XDG_DOCUMENTS_DIR");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));

    const QString folder = home.path() + QStringLiteral("/recordings");
    const QString out = home.path() + QStringLiteral("/reference");
    QDir().mkpath(folder);
    QDir().mkpath(out);
    // One encoding copied: the files are read from the page cache alike by both sides.
    const QString first = folder + QStringLiteral("/rec-0.avi");
    if (!makeRecording(first))
        qFatal("ffmpeg could not make a recording");
    for (int i = 1; i < Recordings; ++i)
        QFile::copy(first, QStringLiteral("%1/rec-%2.avi").arg(folder).arg(i));

    MediaInfoStore *store = MediaInfoStore::getInstance();
    std::vector<Run> velora, reference;
    std::vector<double> idle;
    for (int round = 0; round < Rounds; ++round) {
        velora.push_back(generatorRun(folder, store));
        reference.push_back(referenceRun(folder, out));
        idle.push_back(idleStallMs(velora.back().wallMs));
        std::printf("round %d: generator %.0f ms, %.1f ms CPU a file, stall %.1f ms (idle loop "
                    "%.1f ms); ffmpegthumbnailer %.0f ms, %.1f ms CPU a file of which start-up "
                    "%.1f ms\n",
                    round + 1, velora.back().wallMs, velora.back().cpuMsPerFile,
                    velora.back().stallMs, idle.back(), reference.back().wallMs,
                    reference.back().cpuMsPerFile, reference.back().startCpuMs);
    }
    store->release();

    Bench::report("video thumbnails 50 recordings 1080p: wall time (median)",
                  median(velora, &Run::wallMs), median(reference, &Run::wallMs), "ms",
                  Bench::Better::Lower, "ffmpegthumbnailer -s 60 -t 00:00:03, one after another");
    Bench::report("video thumbnails CPU per recording (median)", median(velora, &Run::cpuMsPerFile),
                  median(reference, &Run::cpuMsPerFile), "ms", Bench::Better::Lower,
                  "ffmpegthumbnailer -s 60 -t 00:00:03");
    std::vector<double> working;
    for (const Run &run : reference)
        working.push_back(run.cpuMsPerFile - run.startCpuMs);
    Bench::report("video thumbnails CPU per recording, the tool's start-up left out (median)",
                  median(velora, &Run::cpuMsPerFile), Bench::median(working), "ms",
                  Bench::Better::Lower, "ffmpegthumbnailer as above less ffmpegthumbnailer -h");
    Bench::report("video thumbnails longest GUI stall (median)", median(velora, &Run::stallMs),
                  Bench::median(idle), "ms", Bench::Better::Lower,
                  "an idle event loop for as long (median)");
    return 0;
}
