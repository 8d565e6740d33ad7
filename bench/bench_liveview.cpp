// The live picture while the desktop is recorded: the simulated document camera at 1920x1080 and
// 30 fps, shown through the document camera controller's view in a main window that fills a
// private 1920x1080 Xvfb screen, first without a recording, then while the recording component
// records that screen at 1024 wide with the sine input as sound, then without again. Reported:
// the new camera frames the view shows per second while recording, from the call that starts it
// to the end of the stop and from the start's return on, against the same view without a
// recording in the same run (both plain periods together); and the CPU of this process and of
// the X server in both.
//
// The program starts its own Xvfb and sound server, so it needs neither a display nor a desktop
// session.

#include "BenchReport.h"
#include "PrivateDisplay.h"
#include "PrivateSoundServer.h"

#include <CameraWidget.h>
#include <KivoscopeIntf.h>
#include <RecordingIntf.h>
#include <RecordingProbe.h>
#include <SettingIntf.h>
#include <SharedComponent.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

namespace {

const int Seconds = Bench::measuredSeconds(20);
const QString Sine = QStringLiteral("Sine source at 440 Hz");
// Names another input of the private sound server to record, e.g. "Velora null input".
const char *const InputVariable = "VELORA_BENCH_INPUT";
// The "recording/videoQuality" that records 1024 pixels wide.
constexpr int Quality1024 = 2;

/// Counts the paints of the view that show a camera frame it had not shown before.
class FrameCounter : public QObject
{
public:
    explicit FrameCounter(CameraWidget *view)
        : view(view)
    {
        view->installEventFilter(this);
    }

    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The frame the view is about to paint is the one it holds now.
        if (watched == view && event->type() == QEvent::Paint) {
            const qint64 sequence = view->frame().sequence();
            if (sequence > lastSequence) {
                lastSequence = sequence;
                ++shown;
            }
        }
        return false;
    }

private:
    CameraWidget *view;
    qint64 lastSequence = 0;
};

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Where the run stands at one moment: the clock, the frames shown and the CPU used so far.
struct Snapshot
{
    double seconds = 0;
    int shown = 0;
    double cpu = 0;
    double serverCpu = 0;
};

class Meter
{
public:
    Meter(const FrameCounter &counter, qint64 serverPid)
        : counter(counter)
        , serverPid(serverPid)
    {
        clock.start();
    }

    Snapshot now() const
    {
        return {clock.nsecsElapsed() / 1e9, counter.shown, Bench::cpuSeconds(RUSAGE_SELF),
                Bench::processCpuSeconds(serverPid)};
    }

private:
    const FrameCounter &counter;
    qint64 serverPid;
    QElapsedTimer clock;
};

/// What happened between two snapshots, or over several such periods added up.
struct Period
{
    double seconds = 0;
    int shown = 0;
    double cpu = 0;
    double serverCpu = 0;

    Period(const Snapshot &from, const Snapshot &to)
        : seconds(to.seconds - from.seconds)
        , shown(to.shown - from.shown)
        , cpu(to.cpu - from.cpu)
        , serverCpu(to.serverCpu - from.serverCpu)
    { }
    Period &operator+=(const Period &other)
    {
        seconds += other.seconds;
        shown += other.shown;
        cpu += other.cpu;
        serverCpu += other.serverCpu;
        return *this;
    }
    double framesPerSecond() const { return shown / seconds; }
    double cpuShare() const { return cpu / seconds; }
    double serverCpuShare() const { return serverCpu / seconds; }

    const Period &print(const char *what) const
    {
        std::printf("  %s: %d frames shown in %.2f s, %.2f fps; CPU %.3f s/s, X server %.3f "
                    "s/s\n",
                    what, shown, seconds, framesPerSecond(), cpuShare(), serverCpuShare());
        return *this;
    }
};

/// The view without a recording for `Seconds`.
Period plainPeriod(const Meter &meter, const char *what)
{
    const Snapshot from = meter.now();
    wait(Seconds * 1000);
    return Period(from, meter.now()).print(what);
}

/// The recording's file, or an empty string after saying why there is none.
QString checkedRecording(const QList<QString> &files)
{
    const QString file = files.value(0);
    if (file.isEmpty() || !QFileInfo(file).isFile() || QFileInfo(file).size() == 0) {
        std::fprintf(stderr, "bench_liveview: FAILED: the recording left no file\n");
        return {};
    }
    const RecordingProbe probe = RecordingProbe::of(file);
    std::printf("  %s: %dx%d, %d frames in %.1f s of picture, %.1f s of sound\n",
                qPrintable(QFileInfo(file).fileName()), probe.width, probe.height, probe.frames,
                probe.videoSeconds, probe.audioSeconds);
    return probe.frames > 0 ? file : QString();
}

} // namespace

int main(int argc, char **argv)
{
    const PrivateDisplay display(QStringLiteral("1920x1080x24"));
    if (!display.isRunning())
        return 1;
    QTemporaryDir work(QStringLiteral("/tmp/velora-bench-XXXXXX"));
    PrivateSoundServer sound;
    qputenv("HOME", work.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (work.path() + "/.local/share").toLocal8Bit());
    qputenv("VELORA_SIMULATED_CAMERAS", "doccam:1920x1080");
    // A message box would wait for a person; it is printed and answered instead.
    qputenv("VELORA_TEST_ANSWER_DIALOGS", "1");

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));
    ComponentRef<SettingIntf> settings;
    settings->setSavePath(work.filePath(QStringLiteral("recordings")));
    settings->setVideoQuality(Quality1024);
    settings->setAudioSource(qEnvironmentVariable(InputVariable, Sine));

    // The main window maximised, with its menu bar; the camera view fills the rest.
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&Velora"));
    auto *central = new QWidget(&window);
    window.setCentralWidget(central);
    KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance(central);
    CameraWidget *view = kivoscope->view();
    FrameCounter counter(view);
    // Without a window manager nothing maximises the window, so it takes the screen itself.
    window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    window.showMaximized();
    QElapsedTimer connecting;
    connecting.start();
    while (!kivoscope->isConnected() && connecting.elapsed() < 10000)
        wait(50);
    view->setGeometry(central->rect());
    kivoscope->showView();
    // Settle: the first frames pay for drawing the simulated page.
    wait(1000);
    int status = 0;
    if (!kivoscope->isConnected()) {
        std::fprintf(stderr, "bench_liveview: FAILED: the simulated camera did not connect\n");
        status = 1;
    }
    std::printf("  window %dx%d, camera view %dx%d\n", window.width(), window.height(),
                view->width(), view->height());

    RecordingIntf *recorder = RecordingIntf::getInstance();
    recorder->setRecordedWindow(&window);
    const Meter meter(counter, display.processId());
    Period plain = plainPeriod(meter, "without a recording");

    // From the presenter's click to the end of the stop, and the part after the start returned.
    QList<QString> files;
    const Snapshot clicked = meter.now();
    if (recorder->startRecording() != Result::Success)
        status = 1;
    const Snapshot started = meter.now();
    wait(Seconds * 1000);
    const Snapshot stopping = meter.now();
    recorder->stopRecording(&files);
    const Period recording = Period(clicked, meter.now()).print("recording, start to stop");
    Period(clicked, started).print("  of which the start");
    const Period running = Period(started, stopping).print("  of which the recording running");
    if (checkedRecording(files).isEmpty())
        status = 1;

    plain += plainPeriod(meter, "without a recording, again");
    recorder->release();

    if (status == 0) {
        const char *tool = "same view without recording";
        Bench::report("live view frames while recording", recording.framesPerSecond(),
                      plain.framesPerSecond(), "fps", Bench::Better::Higher, tool);
        Bench::report("live view frames while recording, after the start",
                      running.framesPerSecond(), plain.framesPerSecond(), "fps",
                      Bench::Better::Higher, tool);
        Bench::report("live view CPU while recording (process)", running.cpuShare(),
                      plain.cpuShare(), "CPU s/s", Bench::Better::Lower, tool);
        Bench::report("live view X server CPU while recording", running.serverCpuShare(),
                      plain.serverCpuShare(), "CPU s/s", Bench::Better::Lower, tool);
    }
    kivoscope->release();
    return status;
}
