// Playback of Velora's own recordings (MPEG-4 tagged XVID, quantiser 5, a key frame in ten, PCM
// sound at 8,000 Hz) through the media service into a sink that paints every picture as the
// video widget does, on the GUI thread at the widget's size. Reported: CPU seconds per second of
// video against ffmpeg decoding the same file on one thread, and decoding and converting it to
// the widget's size and format; pictures shown against pictures in the file (none may be
// dropped: no frame rate hint is set); and the time from a seek to 30 s to the first picture
// there against ffmpeg seeking and decoding one picture.

#include "BenchReport.h"
#include "PrivateSoundServer.h"

#include "MediaService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>

namespace {

constexpr QSize WidgetSize(1280, 720);

/// Paints each picture on the GUI thread onto a widget-sized image, as the widget's paint event
/// does, and counts them.
class PaintingSink : public QObject, public VideoFrameSink
{
public:
    bool paints = true;
    QImage canvas{WidgetSize, QImage::Format_RGB32};
    std::atomic<int> shown{0};
    std::atomic<qint64> lastPtsMs{-1};

    QSize targetSize() const override { return WidgetSize; }
    void deliverFrame(QImage frame, qint64 ptsMs) override
    {
        lastPtsMs = ptsMs;
        ++shown;
        if (!paints)
            return;
        QMetaObject::invokeMethod(
                this,
                [this, frame = std::move(frame)] {
                    QPainter painter(&canvas);
                    painter.drawImage(QRect(QPoint(), WidgetSize), frame);
                },
                Qt::QueuedConnection);
    }
};

bool ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")}
                          + arguments);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

/// A recording as Velora writes it, of moving pictures.
bool makeRecording(const QString &path, QSize size, int seconds)
{
    const QString video = QStringLiteral("testsrc2=size=%1x%2:rate=25:duration=%3")
                                  .arg(size.width())
                                  .arg(size.height())
                                  .arg(seconds);
    const QString sound
            = QStringLiteral("sine=frequency=440:sample_rate=8000:duration=%1").arg(seconds);
    return ffmpeg({"-f",  "lavfi", "-i",        video,  "-f",    "lavfi",     "-i",
                   sound, "-ac",   "2",         "-c:v", "mpeg4", "-vtag",     "XVID",
                   "-g",  "10",    "-qscale:v", "5",    "-c:a",  "pcm_s16le", path});
}

void waitFor(const std::function<bool()> &done)
{
    // The service's 100 ms poll guarantees an event to wake up for.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

/// CPU seconds per second of playing `path` to its end into `sink` (none: decoding, timing and
/// sound only).
double playbackCpu(const QString &path, int seconds, PaintingSink *sink)
{
    MediaService service;
    service.setFrameSink(sink);
    if (!service.open(path))
        return 0;
    const double before = Bench::cpuSeconds(RUSAGE_SELF);
    service.play();
    waitFor([&] { return service.status() == MediaService::EndOfMedia; });
    return (Bench::cpuSeconds(RUSAGE_SELF) - before) / seconds;
}

void measure(const QString &label, const QString &path, int seconds)
{
    const QByteArray at = " " + label.toUtf8();
    // Playing through: CPU of the whole process over the file's length.
    PaintingSink sink;
    const double velora = playbackCpu(path, seconds, &sink);
    // Where it goes: the same playback without a sink, and converting without painting.
    PaintingSink converting;
    converting.paints = false;
    std::printf("  %s breakdown, CPU s/s: decode, timing and sound %.4f; with conversion to "
                "%dx%d %.4f; with painting %.4f\n",
                qPrintable(label), playbackCpu(path, seconds, nullptr), WidgetSize.width(),
                WidgetSize.height(), playbackCpu(path, seconds, &converting), velora);
    const double beforeFfmpeg = Bench::cpuSeconds(RUSAGE_CHILDREN);
    ffmpeg({"-threads", "1", "-i", path, "-f", "null", "-"});
    const double reference = (Bench::cpuSeconds(RUSAGE_CHILDREN) - beforeFfmpeg) / seconds;
    Bench::report(QByteArray("video playback CPU per second of video" + at).constData(), velora,
                  reference, "CPU s/s", Bench::Better::Lower,
                  "ffmpeg -threads 1 -i FILE -f null - (decode only)");
    // The decode-only reference converts nothing, so the same conversion is measured as well:
    // ffmpeg decoding and scaling to the widget's size in the widget's pixel format.
    const QString scale = QStringLiteral("scale=%1:%2:flags=bilinear,format=bgra")
                                  .arg(WidgetSize.width())
                                  .arg(WidgetSize.height());
    const double beforeConverting = Bench::cpuSeconds(RUSAGE_CHILDREN);
    ffmpeg({"-threads", "1", "-filter_threads", "1", "-i", path, "-vf", scale, "-f", "null", "-"});
    const double converted = (Bench::cpuSeconds(RUSAGE_CHILDREN) - beforeConverting) / seconds;
    Bench::report(
            QByteArray("video playback CPU per second of video, against the same conversion" + at)
                    .constData(),
            velora, converted, "CPU s/s", Bench::Better::Lower,
            "ffmpeg -threads 1 -filter_threads 1 -i FILE -vf scale=1280:720:flags=bilinear,"
            "format=bgra -f null -");
    const int inFile = seconds * 25;
    std::printf("  %s: %d of %d pictures shown\n", qPrintable(label), sink.shown.load(), inFile);
    Bench::report(QByteArray("video playback pictures shown" + at).constData(), sink.shown.load(),
                  inFile, "pictures", Bench::Better::Higher, "pictures in the file");

    // Seeking to 30 s while playing, to the first picture shown there; a fresh service each
    // time, as the video component makes one per file.
    std::vector<double> seekMs;
    std::vector<double> ffmpegMs;
    const qint64 target = qMin<qint64>(30000, seconds * 1000 / 2);
    for (int round = 0; round < 5; ++round) {
        PaintingSink seekSink;
        MediaService service;
        service.setFrameSink(&seekSink);
        service.open(path);
        service.play();
        waitFor([&] { return seekSink.shown > 0; });
        QElapsedTimer timer;
        timer.start();
        service.setPosition(target);
        waitFor([&] { return seekSink.lastPtsMs >= target; });
        seekMs.push_back(timer.nsecsElapsed() / 1e6);

        timer.restart();
        ffmpeg({"-ss", QString::number(target / 1000), "-i", path, "-frames:v", "1", "-f", "null",
                "-"});
        ffmpegMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    Bench::report(QByteArray("video seek to 30 s, to its picture (median)" + at).constData(),
                  Bench::median(seekMs), Bench::median(ffmpegMs), "ms", Bench::Better::Lower,
                  "ffmpeg -ss 30 -i FILE -frames:v 1 -f null - (process run)");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    PrivateSoundServer sound;
    if (!sound.isRunning())
        std::printf("  no sound server: the videos play silently on the wall clock\n");
    const int seconds = Bench::measuredSeconds(60);
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("Velora-1024x576.avi"));
    const QString large = dir.filePath(QStringLiteral("Velora-1920x1080.avi"));
    if (!makeRecording(small, QSize(1024, 576), seconds)
        || !makeRecording(large, QSize(1920, 1080), seconds)) {
        std::printf("  ffmpeg could not make the recordings\n");
        return 1;
    }
    {
        // A null sink that has been idle renders its first two seconds as one block, and the
        // playback time it reports then leaps; that is the test server's start, not playback.
        PaintingSink sink;
        MediaService warmUp;
        warmUp.setFrameSink(&sink);
        warmUp.open(small);
        warmUp.play();
        QElapsedTimer timer;
        timer.start();
        waitFor([&] { return timer.elapsed() > 3000; });
    }
    measure(QStringLiteral("1024x576"), small, seconds);
    measure(QStringLiteral("1920x1080"), large, seconds);
    return 0;
}
