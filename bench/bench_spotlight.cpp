// The spotlight dragged over the live picture: a simulated 3840x2160 document camera runs at
// 30 fps in a window filling a private 1920x1080 Xvfb screen, with the spotlight over the whole
// window, dragged by its spot in loops across the window at 120 pointer events per second.
// Reported: how long each pointer event takes to reach the screen (the end of the spotlight's
// paint after it), p95 and p99, and the camera frames shown per second against the same window
// without a spotlight. Both with the plain X server (the spotlight is a window shaped to its grey
// part) and with xcompmgr compositing (a translucent window).
//
// The program starts its own Xvfb, so it needs neither a display nor a desktop session.

#include "BenchReport.h"
#include "FrameCounter.h"
#include "PrivateDisplay.h"
#include "SimulatedStream.h"

#include <Compositing.h>
#include <PresenterMask.h>
#include <SpotlightIntf.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr QSize CameraSize(3840, 2160);
constexpr double EventsPerSecond = 120;
constexpr int Rounds = 3;
const int Seconds = Bench::measuredSeconds(8);

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Notes when each paint of the spotlight's window ends: it lets the window paint from inside
/// the filter, then takes the time.
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(QWidget *mask)
        : mask(mask)
    {
        mask->installEventFilter(this);
    }

    std::vector<qint64> paintedNs;
    std::vector<double> paintMs;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != mask || event->type() != QEvent::Paint || inside)
            return false;
        inside = true;
        const qint64 start = nowNs();
        static_cast<QObject *>(mask)->event(event);
        inside = false;
        paintedNs.push_back(nowNs());
        paintMs.push_back((paintedNs.back() - start) / 1e6);
        return true;
    }

private:
    QWidget *mask;
    bool inside = false;
};

/// Where the pointer is `t` seconds into the drag: loops across the window around its centre,
/// which is where the spot starts.
QPointF pointerAt(double t, QSize window)
{
    const double x = window.width() / 2.0, y = window.height() / 2.0;
    return QPointF(x + 0.38 * window.width() * std::sin(t * 0.9),
                   y + 0.32 * window.height() * std::sin(t * 1.7));
}

void sendMouse(QWidget *target, QEvent::Type type, QPointF position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, target->mapToGlobal(position),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

struct Figures
{
    double framesPerSecond = 0;
    double p95LatencyMs = 0;
    double p99LatencyMs = 0;
    double maxLatencyMs = 0;
    double p99PaintMs = 0;
    bool shaped = false;
};

Figures run(bool withSpotlight)
{
    FrameCounter counter;
    QWidget window;
    window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    CameraWidget view(&counter, &window);
    view.setGeometry(window.rect());
    window.show();
    std::optional<SimulatedStream> stream(std::in_place, CameraSize, view, counter.control);

    SpotlightIntf *spotlight = nullptr;
    QWidget *mask = nullptr;
    std::optional<PaintProbe> probe;
    if (withSpotlight) {
        spotlight = SpotlightIntf::getInstance(&window);
        mask = spotlight->widget();
        mask->setGeometry(QRect(window.mapToGlobal(QPoint(0, 0)), window.size()));
        spotlight->show();
        probe.emplace(mask);
    }
    // Settle: the first frames pay for drawing the simulated page, the mask for its first paint.
    wait(1000);

    Figures figures;
    std::vector<qint64> sentNs;
    counter.counting = true;
    QElapsedTimer wall;
    wall.start();
    if (mask) {
        figures.shaped = qobject_cast<PresenterMask *>(mask)->isShaped();
        sendMouse(mask, QEvent::MouseButtonPress, pointerAt(0, window.size()), Qt::LeftButton);
    }
    QEventLoop loop;
    QTimer pointer;
    pointer.setTimerType(Qt::PreciseTimer);
    qint64 next = 1;
    const qint64 total = qint64(Seconds * EventsPerSecond);
    QObject::connect(&pointer, &QTimer::timeout, &loop, [&] {
        // Events due by now are sent, so a late timer does not stretch the drag.
        const qint64 due = qMin(total, qint64(wall.nsecsElapsed() * EventsPerSecond / 1e9));
        for (; next <= due; ++next) {
            sentNs.push_back(nowNs());
            // Without a spotlight the events have nothing to go to: the camera alone is the
            // reference.
            if (mask)
                sendMouse(mask, QEvent::MouseMove, pointerAt(next / EventsPerSecond, window.size()),
                          Qt::LeftButton);
        }
        if (next > total) {
            pointer.stop();
            loop.quit();
        }
    });
    pointer.start(2);
    loop.exec();
    const double seconds = wall.nsecsElapsed() / 1e9;
    counter.counting = false;
    figures.framesPerSecond = counter.shown / seconds;

    if (mask) {
        sendMouse(mask, QEvent::MouseButtonRelease,
                  pointerAt(total / EventsPerSecond, window.size()), Qt::NoButton);
        // Each event is shown by the first paint of the spotlight that ends after it was sent.
        const std::vector<double> latencies = Bench::eventLatencies(sentNs, probe->paintedNs);
        if (latencies.size() < sentNs.size() * 9 / 10)
            std::fprintf(stderr, "bench_spotlight: only %zu of %zu events were painted\n",
                         latencies.size(), sentNs.size());
        figures.p95LatencyMs = Bench::percentile(latencies, 0.95);
        figures.p99LatencyMs = Bench::percentile(latencies, 0.99);
        figures.maxLatencyMs = Bench::percentile(latencies, 1.0);
        figures.p99PaintMs = Bench::percentile(probe->paintMs, 0.99);
        probe.reset();
        spotlight->hide();
        spotlight->release();
    }
    // The camera stops before its view goes.
    stream.reset();
    return figures;
}

/// Three runs with the spotlight and three without, alternating; reports the medians.
void measure(const char *setting)
{
    std::vector<double> plainFps, maskedFps, p95s, p99s, paints;
    double worst = 0;
    bool shaped = false;
    for (int round = 0; round < Rounds; ++round) {
        for (const bool withSpotlight : {round % 2 == 1, round % 2 == 0}) {
            const Figures figures = run(withSpotlight);
            if (!withSpotlight) {
                plainFps.push_back(figures.framesPerSecond);
                continue;
            }
            maskedFps.push_back(figures.framesPerSecond);
            p95s.push_back(figures.p95LatencyMs);
            p99s.push_back(figures.p99LatencyMs);
            paints.push_back(figures.p99PaintMs);
            worst = std::max(worst, figures.maxLatencyMs);
            shaped = figures.shaped;
        }
    }
    std::printf("%s (the spotlight %s):\n  camera frames per second without a spotlight:", setting,
                shaped ? "shaped to its grey part" : "translucent");
    for (const double fps : plainFps)
        std::printf(" %.2f", fps);
    std::printf("; while dragging it:");
    for (const double fps : maskedFps)
        std::printf(" %.2f", fps);
    std::printf("\n  latency p95 / p99 per run:");
    for (std::size_t i = 0; i < p99s.size(); ++i)
        std::printf(" %.2f / %.2f", p95s[i], p99s[i]);
    std::printf(" ms; worst single event %.2f ms\n  the paint alone, p99 per run:", worst);
    for (const double paint : paints)
        std::printf(" %.2f", paint);
    std::printf(" ms\n");

    auto name = [setting](const char *what) -> QByteArray {
        return QByteArray("spotlight over 4K camera, ") + setting + ": " + what;
    };
    Bench::report(name("frames shown per second while dragging (median)").constData(),
                  Bench::median(maskedFps), Bench::median(plainFps), "fps", Bench::Better::Higher,
                  "the same camera and window without a spotlight (median)");
    for (const auto &[share, values] : {std::pair{"p95", &p95s}, std::pair{"p99", &p99s}}) {
        const QByteArray row
                = name("drag latency ") + share + " (pointer event to end of paint, median run)";
        Bench::report(row.constData(), Bench::median(*values), 16, "ms", Bench::Better::Lower,
                      "16 ms goal");
    }
}

} // namespace

int main(int argc, char **argv)
{
    const PrivateDisplay display(QStringLiteral("1920x1080x24"));
    if (!display.isRunning())
        return 1;
    QTemporaryDir work(QStringLiteral("/tmp/velora-bench-XXXXXX"));
    // The spotlight keeps its properties in the settings; a fresh home keeps the developer's.
    qputenv("HOME", work.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (work.path() + "/.local/share").toLocal8Bit());
    qputenv("VELORA_SIMULATED_CAMERAS", "");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));

    if (Compositing::isAvailable()) {
        std::fprintf(stderr, "bench_spotlight: FAILED: the private display is composited\n");
        return 1;
    }
    measure("plain X server");

    QProcess manager;
    manager.start(QStringLiteral("xcompmgr"));
    QElapsedTimer starting;
    starting.start();
    while (!Compositing::isAvailable() && starting.elapsed() < 5000)
        wait(50);
    if (!Compositing::isAvailable()) {
        std::printf("xcompmgr did not start; the composited runs are left out\n");
        return 0;
    }
    measure("xcompmgr");
    manager.terminate();
    manager.waitForFinished();
    return 0;
}
