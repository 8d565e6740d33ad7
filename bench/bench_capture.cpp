// How long a presenter waits for a document camera picture: from CaptureIntf::captureVision()
// to the JPEG file in the media folder, for high-quality stills of the simulated document
// camera, against cjpeg encoding the same picture from a PPM file, process start included.
// A breakdown of each size shows where the time goes.

#include "BenchReport.h"

#include <CameraWidget.h>
#include <CaptureIntf.h>
#include <DocCamManager.h>
#include <KivoscopeIntf.h>
#include <SettingIntf.h>
#include <SimulatedCamera.h>
#include <SimulatedCameras.h>

#include <turbojpeg.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

constexpr int JpegQuality = 90;
const char *const ReferenceTool = "cjpeg -quality 90";

using Bench::median;

double msOf(qint64 ns)
{
    return ns / 1e6;
}

/// Median wall time of `runs` calls of `body`, in ms.
double medianMs(int runs, const std::function<void()> &body)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        times.append(msOf(timer.nsecsElapsed()));
    }
    return median(times);
}

/// Points HOME and the XDG folders into `home`, so that settings, logs and pictures stay there.
void isolateHome(const QString &home)
{
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qunsetenv("XDG_DOCUMENTS_DIR");
}

/// Lets the event loop run until `done` answers true; false after `timeoutMs`.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Wall time of one run of `command`, from the spawn to its exit, in ms; nothing when it could
/// not be started or did not exit with 0.
std::optional<double> runMs(const QStringList &command)
{
    std::vector<QByteArray> words;
    for (const QString &word : command)
        words.push_back(word.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv.front(), nullptr, nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    const double ms = msOf(timer.nsecsElapsed());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return ms;
}

/// Writes `image` as a binary PPM (P6), the raw input cjpeg reads fastest.
bool writePpm(const QImage &image, const QString &path)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("P6\n%1 %2\n255\n").arg(rgb.width()).arg(rgb.height()).toLatin1());
    for (int row = 0; row < rgb.height(); ++row) {
        const auto *line = reinterpret_cast<const char *>(rgb.constScanLine(row));
        if (file.write(line, qint64(rgb.width()) * 3) != qint64(rgb.width()) * 3)
            return false;
    }
    return file.flush();
}

struct TurboJpegDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
struct TurboJpegBufferDeleter
{
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};

/// Encodes the 32-bit picture straight from its own memory with libturbojpeg, the way the save
/// could avoid Qt's per-line conversion; the JPEG's size in bytes, 0 on failure.
qint64 turboJpegEncode(const QImage &image)
{
    const std::unique_ptr<void, TurboJpegDeleter> handle(tjInitCompress());
    if (!handle)
        return 0;
    unsigned char *out = nullptr;
    unsigned long size = 0;
    const int failed
            = tjCompress2(handle.get(), image.constBits(), image.width(), int(image.bytesPerLine()),
                          image.height(), TJPF_BGRX, &out, &size, TJSAMP_420, JpegQuality, 0);
    const std::unique_ptr<unsigned char, TurboJpegBufferDeleter> owned(out);
    return failed ? 0 : qint64(size);
}

QByteArray qtJpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(JpegQuality);
    writer.write(image);
    return bytes;
}

struct Case
{
    QSize live;
    QSize still;
    int warmUps;
    int runs;
};

/// The moments of one capture, on one clock, taken by slots around the capture component's own.
struct CaptureMoments
{
    qint64 arrivedNs = 0; ///< hqImageCaptured reached the GUI thread
    qint64 savedNs = 0; ///< the capture component's slot has saved it
    QImage still;
};

class CaptureBench
{
public:
    CaptureBench(const QString &scratch, KivoscopeIntf *kivoscope)
        : scratch(scratch)
        , kivoscope(kivoscope)
    {
        clock.start();
        // Connected before the capture component exists, so it runs before the component's
        // slot saves the picture: the moment the still arrives, not the moment it is saved.
        QObject::connect(kivoscope, &KivoscopeIntf::hqImageCaptured, &context,
                         [this](const QImage &image) {
                             moments.arrivedNs = clock.nsecsElapsed();
                             moments.still = image;
                         });
        capture = CaptureIntf::getInstance();
        QObject::connect(kivoscope, &KivoscopeIntf::hqImageCaptured, &context,
                         [this] { moments.savedNs = clock.nsecsElapsed(); });
    }

    ~CaptureBench() { capture->release(); }

    /// Runs one size; false, with the reason on stderr, when anything did not work.
    bool run(const Case &c);

private:
    bool attach(const Case &c);
    bool detach();
    bool timeCaptures(const Case &c);
    bool timeReference(const Case &c);
    void printBreakdown(const Case &c);

    QString scratch;
    KivoscopeIntf *kivoscope = nullptr;
    CaptureIntf *capture = nullptr;
    QObject context;
    QElapsedTimer clock;
    CaptureMoments moments;
    QString cameraKey;

    // Figures of the current size.
    QImage still;
    QList<double> totalMs, deliveryMs, saveMs, returnMs;
    double captureMedianMs = 0;
    double cjpegMedianMs = 0;
    qint64 veloraJpegBytes = 0;
    qint64 cjpegJpegBytes = 0;
};

bool fail(const QString &reason)
{
    std::fprintf(stderr, "bench_capture: FAILED: %s\n", qPrintable(reason));
    std::fflush(stderr);
    return false;
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

bool CaptureBench::attach(const Case &c)
{
    SimulatedCameras::Setup setup;
    setup.size = c.live;
    setup.stillSize = c.still;
    cameraKey = SimulatedCameras::add(setup);
    if (!waitUntil([this] { return kivoscope->isConnected(); }, 10000))
        return fail(
                QStringLiteral("the simulated camera %1 did not connect").arg(sizeText(c.live)));
    // The live picture settles, as it has long before a presenter presses the button.
    waitMs(500);
    return true;
}

bool CaptureBench::detach()
{
    SimulatedCameras::remove(cameraKey);
    if (!waitUntil([this] { return !kivoscope->isConnected(); }, 10000))
        return fail(QStringLiteral("the simulated camera did not go away"));
    return true;
}

bool CaptureBench::timeCaptures(const Case &c)
{
    totalMs.clear();
    deliveryMs.clear();
    saveMs.clear();
    returnMs.clear();
    for (int i = 0; i < c.warmUps + c.runs; ++i) {
        moments = {};
        QString path;
        const qint64 startNs = clock.nsecsElapsed();
        const ResultCode result = capture->captureVision(&path);
        const qint64 endNs = clock.nsecsElapsed();

        if (result != 0)
            return fail(QStringLiteral("captureVision answered %1").arg(result));
        if (!QFileInfo::exists(path))
            return fail(QStringLiteral("captureVision named %1, which does not exist").arg(path));
        if (moments.arrivedNs == 0 || moments.savedNs == 0)
            return fail(QStringLiteral("the picture did not come as a high-quality still"));
        QImageReader reader(path);
        const QByteArray format = reader.format();
        const QImage saved = reader.read();
        if (saved.size() != c.still || format != "jpeg")
            return fail(QStringLiteral("%1 decodes to %2 (%3), not a %4 JPEG")
                                .arg(path, sizeText(saved.size()), reader.errorString(),
                                     sizeText(c.still)));
        veloraJpegBytes = QFileInfo(path).size();
        still = moments.still;
        QFile::remove(path);

        if (i >= c.warmUps) {
            totalMs.append(msOf(endNs - startNs));
            deliveryMs.append(msOf(moments.arrivedNs - startNs));
            saveMs.append(msOf(moments.savedNs - moments.arrivedNs));
            returnMs.append(msOf(endNs - moments.savedNs));
        }
        // A presenter does not press twice within a frame or two.
        waitMs(200);
    }
    captureMedianMs = median(totalMs);
    return true;
}

bool CaptureBench::timeReference(const Case &c)
{
    const QString ppm = scratch + QStringLiteral("/still.ppm");
    const QString jpeg = scratch + QStringLiteral("/still.jpg");
    if (!writePpm(still, ppm))
        return fail(QStringLiteral("cannot write %1").arg(ppm));
    const QStringList command = {QStringLiteral("cjpeg"),
                                 QStringLiteral("-quality"),
                                 QString::number(JpegQuality),
                                 QStringLiteral("-outfile"),
                                 jpeg,
                                 ppm};
    QList<double> times;
    for (int i = 0; i < c.warmUps + c.runs; ++i) {
        const std::optional<double> ms = runMs(command);
        if (!ms)
            return fail(QStringLiteral("cjpeg failed (is libjpeg-turbo-progs installed?)"));
        if (i >= c.warmUps)
            times.append(*ms);
    }
    if (QImageReader(jpeg).size() != c.still)
        return fail(QStringLiteral("cjpeg's picture is not %1").arg(sizeText(c.still)));
    cjpegJpegBytes = QFileInfo(jpeg).size();
    cjpegMedianMs = median(times);
    return true;
}

void CaptureBench::printBreakdown(const Case &c)
{
    const int runs = c.runs;
    const QString name = sizeText(c.still);
    auto line = [](const char *what, double ms) {
        std::printf("    %-62s %8.1f ms\n", what, ms);
    };

    std::printf("%s breakdown (medians):\n", qPrintable(name));
    line("captureVision, whole call", median(totalMs));
    line("  call -> hqImageCaptured in the GUI thread (camera delivers)", median(deliveryMs));
    line("  hqImageCaptured -> capture component's slot done (save)", median(saveMs));
    line("  slot done -> captureVision returns (dialog closes)", median(returnMs));

    // The save's parts, on the same picture, alone.
    const QByteArray qtBytes = qtJpeg(still);
    line("QImageWriter JPEG q90 into a QBuffer (encode only)",
         medianMs(runs, [this] { qtJpeg(still); }));
    const QImage rgb888 = still.convertToFormat(QImage::Format_RGB888);
    line("  the same from a QImage already in RGB888",
         medianMs(runs, [&rgb888] { qtJpeg(rgb888); }));
    line("convertToFormat(RGB888) of the still", medianMs(runs, [this] {
             const QImage converted = still.convertToFormat(QImage::Format_RGB888);
             Q_UNUSED(converted);
         }));
    qint64 turboBytes = 0;
    line("libturbojpeg tjCompress2 BGRX q90 4:2:0 from the QImage's memory",
         medianMs(runs, [this, &turboBytes] { turboBytes = turboJpegEncode(still); }));
    const QString target = scratch + QStringLiteral("/written.jpg");
    line("QSaveFile write + commit of the JPEG bytes (fsync, rename)", medianMs(runs, [&] {
             QSaveFile file(target);
             file.open(QIODevice::WriteOnly);
             file.write(qtBytes);
             file.commit();
         }));
    line("QFile write + close of the same bytes (no fsync)", medianMs(runs, [&] {
             QFile file(target);
             file.open(QIODevice::WriteOnly | QIODevice::Truncate);
             file.write(qtBytes);
         }));

    // A picture of this size in fresh memory: the first write pays a page fault per page,
    // which large pictures meet every time because the allocator maps and unmaps them.
    QList<double> firstFill, secondFill;
    for (int i = 0; i < runs; ++i) {
        QImage fresh(still.size(), still.format());
        QElapsedTimer timer;
        timer.start();
        fresh.fill(Qt::white);
        firstFill.append(msOf(timer.nsecsElapsed()));
        timer.restart();
        fresh.fill(Qt::black);
        secondFill.append(msOf(timer.nsecsElapsed()));
    }
    line("new QImage of the still's size, first fill (page faults)", median(firstFill));
    line("  the same QImage filled again", median(secondFill));

    // What the simulated camera costs to draw the still: its page cache holds one size, and the
    // live frames drawn between two stills replace it.
    {
        DocCamManager *manager = DocCamManager::getDocCamManager({});
        SimulatedCameras::Setup setup;
        setup.size = c.live;
        setup.stillSize = c.still;
        auto *camera = new SimulatedCamera(manager, QStringLiteral("bench-render"), setup, 99);
        camera->render(c.still, 0);
        line("simulated camera draws the still, page cached",
             medianMs(runs, [camera, &c] { camera->render(c.still, 1); }));
        QList<double> missed;
        for (int i = 0; i < runs; ++i) {
            camera->render(c.live, i);
            QElapsedTimer timer;
            timer.start();
            camera->render(c.still, i);
            missed.append(msOf(timer.nsecsElapsed()));
        }
        line("simulated camera draws the still after a live frame (page redrawn)", median(missed));
        camera->release();
        manager->release();
    }

    line("cjpeg -quality 90, whole run", cjpegMedianMs);
    const QString tiny = scratch + QStringLiteral("/tiny.ppm");
    writePpm(still.copy(0, 0, 16, 16), tiny);
    QList<double> startUp;
    for (int i = 0; i < runs; ++i) {
        if (const std::optional<double> ms
            = runMs({QStringLiteral("cjpeg"), QStringLiteral("-outfile"),
                     scratch + QStringLiteral("/tiny.jpg"), tiny}))
            startUp.append(*ms);
    }
    line("cjpeg on a 16x16 picture (process start-up)", median(startUp));
    std::printf("    JPEG bytes: Velora %lld, cjpeg %lld, libturbojpeg %lld\n",
                qlonglong(veloraJpegBytes), qlonglong(cjpegJpegBytes), qlonglong(turboBytes));
    std::printf("    captureVision runs (ms):");
    for (double ms : std::as_const(totalMs))
        std::printf(" %.1f", ms);
    std::printf("\n");
    std::fflush(stdout);
}

bool CaptureBench::run(const Case &c)
{
    if (!attach(c) || !timeCaptures(c) || !timeReference(c))
        return false;
    const std::string name
            = "capture " + sizeText(c.still).toStdString() + " HQ still to file (median)";
    Bench::report(name.c_str(), captureMedianMs, cjpegMedianMs, "ms", Bench::Better::Lower,
                  ReferenceTool);
    printBreakdown(c);
    return detach();
}

} // namespace

int main(int argc, char **argv)
{
    // Before anything touches the camera library: simulated cameras only, and none but ours.
    qputenv("VELORA_SIMULATED_CAMERAS", "");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/velora-bench-XXXXXX"));
    if (!home.isValid()) {
        fail(QStringLiteral("no temporary folder"));
        return 1;
    }
    isolateHome(home.path());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));

    const QString media = home.filePath(QStringLiteral("media")) + QLatin1Char('/');
    const QString scratch = home.filePath(QStringLiteral("scratch"));
    QDir().mkpath(media);
    QDir().mkpath(scratch);
    SettingIntf *settings = SettingIntf::getInstance();
    settings->setSavePath(media);

    // The camera view shows the live picture meanwhile, as it does in Velora.
    KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
    kivoscope->view()->resize(1280, 720);
    kivoscope->view()->show();

    bool ok = true;
    {
        CaptureBench bench(scratch, kivoscope);
        for (const Case &c :
             {Case{{960, 540}, {1920, 1080}, 3, 15}, Case{{2048, 1536}, {4096, 3072}, 2, 8}}) {
            ok = bench.run(c);
            if (!ok)
                break;
        }
    }
    kivoscope->release();
    settings->release();
    return ok ? 0 : 1;
}
