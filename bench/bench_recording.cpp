// Recording the desktop: 60 s of a 1920x1080 desktop whose picture changes every frame, with
// the sine input as sound, recorded at 1024 and at 640 pixels wide (compressed), against
// ffmpeg's own X11 grab encoding the same way (x11grab, area scaling, MPEG-4 tagged XVID, a key
// frame every 10 frames, one thread, PCM 8,000 Hz stereo) for the same 60 s. (ffmpeg reads its
// two live inputs in turn: without a queue per input, the sound input's bursts hold up the grab
// and ffmpeg keeps a frame in twenty.) Reported: CPU
// seconds per recorded second, frames written against the 1,500 slots, the file size, and how
// far the sound's duration is from the picture's.
//
// The program starts its own Xvfb and sound server, and a copy of itself that animates a
// full-screen window, so it needs neither a display nor a desktop session.

#include "BenchReport.h"
#include "MovingBars.h"
#include "PrivateDisplay.h"
#include "PrivateSoundServer.h"

#include <AVIRecordingCtrl.h>
#include <RecordingProbe.h>
#include <SettingIntf.h>
#include <SharedComponent.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

const char *const AnimateVariable = "VELORA_BENCH_ANIMATE";
const int Seconds = Bench::measuredSeconds(60);
const QString Sine = QStringLiteral("Sine source at 440 Hz");

struct Figures
{
    double cpuPerSecond = 0;
    int frames = 0;
    double megabytes = 0;
    double soundOffMs = 0;
};

Figures figuresOf(const QString &file, double cpu)
{
    const RecordingProbe probe = RecordingProbe::of(file);
    Figures figures;
    figures.cpuPerSecond = cpu / Seconds;
    figures.frames = probe.frames;
    figures.megabytes = QFileInfo(file).size() / 1e6;
    figures.soundOffMs = qAbs(probe.audioSeconds - probe.videoSeconds) * 1000;
    std::printf("  %s: %d frames, %.1f s picture, %.3f s sound, %.1f MB, %.3f CPU s/s\n",
                qPrintable(QFileInfo(file).fileName()), probe.frames, probe.videoSeconds,
                probe.audioSeconds, figures.megabytes, figures.cpuPerSecond);
    return figures;
}

Figures recordWithVelora(int width)
{
    AVIRecordingCtrl recording;
    const double before = Bench::cpuSeconds(RUSAGE_SELF);
    if (!recording.start(width, 0, Sine))
        return {};
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < Seconds * 1000)
        QThread::msleep(50);
    const QString file = recording.stop(QString());
    return figuresOf(file, Bench::cpuSeconds(RUSAGE_SELF) - before);
}

Figures recordWithFfmpeg(int width, const QString &folder)
{
    const QString file = QDir(folder).filePath(QStringLiteral("ffmpeg-%1.avi").arg(width));
    const double before = Bench::cpuSeconds(RUSAGE_CHILDREN);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-loglevel",
                  "error",
                  "-y",
                  "-thread_queue_size",
                  "1024",
                  "-f",
                  "x11grab",
                  "-framerate",
                  "25",
                  "-video_size",
                  "1920x1080",
                  "-i",
                  qEnvironmentVariable("DISPLAY"),
                  "-thread_queue_size",
                  "1024",
                  "-f",
                  "pulse",
                  "-i",
                  "velora_sine_input",
                  "-t",
                  QString::number(Seconds),
                  "-vf",
                  QStringLiteral("scale=%1:%2:flags=area").arg(width).arg(width * 1080 / 1920),
                  "-c:v",
                  "mpeg4",
                  "-vtag",
                  "XVID",
                  "-g",
                  "10",
                  "-threads",
                  "1",
                  "-c:a",
                  "pcm_s16le",
                  "-ar",
                  "8000",
                  "-ac",
                  "2",
                  file});
    ffmpeg.waitForFinished((Seconds + 60) * 1000);
    return figuresOf(file, Bench::cpuSeconds(RUSAGE_CHILDREN) - before);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(AnimateVariable)) {
        QApplication app(argc, argv);
        // A full-screen picture that changes every frame: moving bars and a counter.
        Bench::MovingBars animation(
                20,
                [](int bar, int tick) {
                    return QColor::fromHsv((bar * 22 + tick * 3) % 360, 180, 220);
                },
                true);
        animation.showFullScreen();
        return app.exec();
    }

    // A private X server and sound server.
    const PrivateDisplay display(QStringLiteral("1920x1080x24"));
    if (!display.isRunning())
        return 1;
    QTemporaryDir work(QStringLiteral("/tmp/velora-bench-XXXXXX"));
    PrivateSoundServer sound;
    qputenv("HOME", work.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (work.path() + "/.local/share").toLocal8Bit());

    QProcess animation;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(AnimateVariable), QStringLiteral("1"));
    animation.setProcessEnvironment(environment);
    animation.start(QCoreApplication::applicationFilePath(), {});
    QThread::sleep(2);

    int status = 0;
    {
        QApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Velora"));
        ComponentRef<SettingIntf> settings;
        settings->setSavePath(work.filePath(QStringLiteral("recordings")));
        for (const int width : {1024, 640}) {
            const Figures velora = recordWithVelora(width);
            const Figures ffmpeg = recordWithFfmpeg(width, work.path());
            if (velora.frames == 0 || ffmpeg.frames == 0)
                status = 1;
            const QByteArray at = " at " + QByteArray::number(width) + " wide";
            const char *tool = "ffmpeg -f x11grab ... -c:v mpeg4 -vtag XVID -g 10 -threads 1";
            Bench::report(QByteArray("recording CPU per recorded second" + at).constData(),
                          velora.cpuPerSecond, ffmpeg.cpuPerSecond, "CPU s/s", Bench::Better::Lower,
                          tool);
            Bench::report(QByteArray("recording frames written of 1500" + at).constData(),
                          velora.frames, ffmpeg.frames, "frames", Bench::Better::Higher, tool);
            Bench::report(QByteArray("recording file size, 60 s" + at).constData(),
                          velora.megabytes, ffmpeg.megabytes, "MB", Bench::Better::Lower, tool);
            Bench::report(QByteArray("recording sound against picture duration" + at).constData(),
                          velora.soundOffMs, 80, "ms", Bench::Better::Lower, "80 ms goal");
        }
    }
    animation.kill();
    animation.waitForFinished();
    return status;
}
