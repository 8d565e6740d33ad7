// The live picture's cost: MJPEG frames as a USB camera sends them, decoded by the camera
// library, delivered through its paced capture thread and painted by a CameraWidget, against
// ffmpeg decoding the same frames. Also the delay from a frame leaving the library to the end
// of the paint that shows it.

#include "BenchReport.h"
#include "SimulatedStream.h"

#include <CameraDevice.h>
#include <CameraImage.h>
#include <CameraThrottleController.h>
#include <CameraWidget.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>
#include <SimulatedCameras.h>
#include <v4l2/V4l2FrameDecoder.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr double FrameRate = 30;

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

/// Splits an MJPEG stream into its JPEG pictures.
QList<QByteArray> splitJpegs(const QByteArray &stream)
{
    QList<QByteArray> pictures;
    qsizetype start = stream.indexOf("\xff\xd8");
    while (start >= 0) {
        const qsizetype next = stream.indexOf("\xff\xd8\xff", start + 2);
        pictures.append(stream.mid(start, next < 0 ? -1 : next - start));
        start = next;
    }
    return pictures;
}

bool makeStream(const QString &path, QSize size, int frames)
{
    QProcess ffmpeg;
    ffmpeg.start(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
             QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"),
             QStringLiteral("testsrc2=size=%1x%2:rate=30").arg(size.width()).arg(size.height()),
             QStringLiteral("-frames:v"), QString::number(frames), QStringLiteral("-q:v"),
             QStringLiteral("4"), QStringLiteral("-f"), QStringLiteral("mjpeg"), path});
    return ffmpeg.waitForFinished(300000) && ffmpeg.exitCode() == 0;
}

/// CPU seconds ffmpeg needs to decode the first `frames` pictures of `path` on one thread.
double ffmpegDecodeSeconds(const QString &path, int frames)
{
    const double before = Bench::cpuSeconds(RUSAGE_CHILDREN);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                  QStringLiteral("error"), QStringLiteral("-threads"), QStringLiteral("1"),
                  QStringLiteral("-f"), QStringLiteral("mjpeg"), QStringLiteral("-i"), path,
                  QStringLiteral("-frames:v"), QString::number(frames), QStringLiteral("-f"),
                  QStringLiteral("null"), QStringLiteral("-")});
    ffmpeg.waitForFinished(300000);
    return Bench::cpuSeconds(RUSAGE_CHILDREN) - before;
}

/// A camera that replays recorded MJPEG pictures at the camera's frame rate, through the same
/// decoder a V4L2 camera uses.
class ReplayCamera : public CameraDevice
{
public:
    ReplayCamera(DocCamManager *manager, QList<QByteArray> pictures, QSize size)
        : CameraDevice(
                manager,
                Identity{QStringLiteral("replay"), QStringLiteral("Replay"), 0, 0, 0, true, {}})
        , pictures(std::move(pictures))
        , size(size)
    { }

    std::atomic<int> decoded{0};

protected:
    int openCapture(const DocCam::VideoFormat &) override
    {
        clock.start();
        return DocCam::Ok;
    }
    void closeCapture() override { }
    GrabResult grabFrame(QImage &frame, int timeoutMs) override
    {
        const qint64 due = qint64((decoded + 1) * 1000 / FrameRate);
        const qint64 wait = due - clock.elapsed();
        if (wait > timeoutMs || decoded >= pictures.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            return GrabResult::Timeout;
        }
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        const QByteArray &jpeg = pictures.at(decoded);
        frame = decoder.decodeMjpeg(reinterpret_cast<const uchar *>(jpeg.constData()),
                                    std::size_t(jpeg.size()), displaySize());
        ++decoded;
        return frame.isNull() ? GrabResult::Timeout : GrabResult::Frame;
    }
    QImage grabStill() override { return {}; }
    int applyControl(Control, int) override { return DocCam::ErrorUnsupported; }
    std::uint32_t hardwareCapabilities() const override { return 0; }
    DocCam::VideoFormat liveFormat() const override { return {size, FrameRate}; }
    QSize stillSize() const override { return {}; }

private:
    QList<QByteArray> pictures;
    QSize size;
    V4l2FrameDecoder decoder;
    QElapsedTimer clock;
};

/// Stands where the camera controller will: passes each paint on to the camera and notes how
/// long the painted frame took from the library to the screen.
class Pacer : public CameraThrottleController
{
public:
    DocCamControl *control = nullptr;
    QList<double> latenciesMs;
    qint64 lastSequence = 0;

    void framePainted(CameraWidget *view) override
    {
        const CameraImage frame = view->frame();
        if (frame.sequence() > lastSequence) {
            lastSequence = frame.sequence();
            latenciesMs.append((steadyNowNs() - frame.capturedNs()) / 1e6);
        }
        if (control)
            control->framePainted();
    }
};

struct PipelineFigures
{
    double cpuMsPerFrame = 0;
    double coreShareAt30 = 0;
    double medianLatencyMs = 0;
    double p99LatencyMs = 0;
    int painted = 0;
    int decoded = 0;
};

PipelineFigures runPipeline(const QList<QByteArray> &pictures, QSize size)
{
    DocCamManager *manager = DocCamManager::getDocCamManager({});
    auto *camera = new ReplayCamera(manager, pictures, size);
    Pacer pacer;
    CameraWidget view(&pacer);
    view.resize(1280, 720);
    view.show();
    QCoreApplication::processEvents();

    DocCam::VideoFormat format;
    camera->getCurrentVideoFormat(format);
    camera->openStream(format, &view, &pacer.control);
    pacer.control->setDisplaySize(view.size() * view.devicePixelRatio());

    const double cpuBefore = Bench::cpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    pacer.control->start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (camera->decoded >= pictures.size())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    QCoreApplication::processEvents(); // the last frame's paint
    const double seconds = wall.elapsed() / 1000.0;
    const double cpu = Bench::cpuSeconds(RUSAGE_SELF) - cpuBefore;

    pacer.control->release();
    PipelineFigures figures;
    figures.decoded = camera->decoded;
    figures.painted = int(pacer.latenciesMs.size());
    figures.cpuMsPerFrame = cpu * 1000 / figures.decoded;
    figures.coreShareAt30 = cpu / seconds;
    figures.medianLatencyMs = Bench::median(pacer.latenciesMs);
    figures.p99LatencyMs = Bench::percentile(pacer.latenciesMs, 0.99);
    camera->release();
    manager->release();
    return figures;
}

/// Frames per second the simulated document camera delivers into a view over three seconds.
double simulatedFramesPerSecond(QSize size)
{
    Pacer pacer;
    CameraWidget view(&pacer);
    view.resize(1280, 720);
    view.show();
    const SimulatedStream stream(size, view, pacer.control);

    // Settle first: the first frames pay for drawing the page.
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 firstSequence = view.frame().sequence();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    return (view.frame().sequence() - firstSequence) * 1000.0 / wall.elapsed();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("VELORA_SIMULATED_CAMERAS", "");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;

    struct Case
    {
        const char *name;
        QSize size;
        int frames;
    };
    for (const Case &c : {Case{"1080p", {1920, 1080}, 150}, Case{"4K", {3840, 2160}, 90}}) {
        const QString path = folder.filePath(QStringLiteral("%1.mjpeg").arg(QLatin1String(c.name)));
        if (!makeStream(path, c.size, c.frames)) {
            std::fprintf(stderr, "bench_camera: ffmpeg could not make the test stream\n");
            return 1;
        }
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QList<QByteArray> pictures = splitJpegs(file.readAll());

        // ffmpeg's start-up is taken out by timing one frame and the whole stream.
        const double one = ffmpegDecodeSeconds(path, 1);
        const double all = ffmpegDecodeSeconds(path, int(pictures.size()));
        const double ffmpegMsPerFrame = (all - one) * 1000 / (pictures.size() - 1);

        // The library's decoder alone, to tell decoding from delivery and painting.
        double decodeOnlyMs = 0;
        {
            V4l2FrameDecoder decoder;
            const double before = Bench::cpuSeconds(RUSAGE_SELF);
            for (const QByteArray &jpeg : pictures)
                decoder.decodeMjpeg(reinterpret_cast<const uchar *>(jpeg.constData()),
                                    std::size_t(jpeg.size()));
            decodeOnlyMs = (Bench::cpuSeconds(RUSAGE_SELF) - before) * 1000 / pictures.size();
        }

        const PipelineFigures figures = runPipeline(pictures, c.size);
        const std::string name = c.name;
        Bench::report((std::string("camera pipeline ") + name + " CPU per frame").c_str(),
                      figures.cpuMsPerFrame, ffmpegMsPerFrame, "ms", Bench::Better::Lower,
                      "ffmpeg -threads 1 -f mjpeg -i FILE -f null - (decode only)");
        Bench::report((std::string("camera decode only ") + name + " CPU per frame").c_str(),
                      decodeOnlyMs, ffmpegMsPerFrame, "ms", Bench::Better::Lower,
                      "ffmpeg -threads 1 -f mjpeg -i FILE -f null - (decode only)");
        Bench::report((std::string("camera pipeline ") + name + " core share at 30 fps").c_str(),
                      figures.coreShareAt30, ffmpegMsPerFrame * FrameRate / 1000, "cores",
                      Bench::Better::Lower, "ffmpeg decoding the same frames at 30 fps");
        Bench::report((std::string("camera delivery ") + name + " latency median").c_str(),
                      figures.medianLatencyMs, 1000 / FrameRate, "ms", Bench::Better::Lower,
                      "one frame period at 30 fps");
        Bench::report((std::string("camera delivery ") + name + " latency p99").c_str(),
                      figures.p99LatencyMs, 1000 / FrameRate, "ms", Bench::Better::Lower,
                      "one frame period at 30 fps");
        std::printf("  (%s: %d frames decoded, %d painted)\n", c.name, figures.decoded,
                    figures.painted);
    }
    Bench::report("simulated document camera 1080p frames per second",
                  simulatedFramesPerSecond({1920, 1080}), FrameRate, "fps", Bench::Better::Higher,
                  "the camera's nominal rate");
    return 0;
}
