// Recording a Wayland desktop through the screen-cast portal against recording an X11 desktop
// through the X server, in the same run: 60 s of a 1920x1080 desktop whose picture changes every
// frame (the same sixteen shifting bars and moving square on both), recorded 1024x576 compressed,
// without sound. Reported: CPU seconds per recorded second of the recording process alone, and
// together with the display side that hands it the pictures (Wayland: sway, the portals, PipeWire
// and the bus; X11: Xvfb), and the frames written of the 1,500 slots. The programs drawing the
// picture are counted on neither side.
//
// The X11 half runs under a private Xvfb with a copy of this program drawing the picture. The
// Wayland half is a copy of this program inside tools/wayland-session, whose output shows the
// moving-picture client drawing the same picture; it prints its figures for this one to read.

#include "BenchReport.h"
#include "MovingBars.h"
#include "PrivateDisplay.h"

#include <AVIRecordingCtrl.h>
#include <RecordingProbe.h>
#include <SettingIntf.h>
#include <SharedComponent.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <unistd.h>

#include <cstdio>

namespace {

const char *const AnimateVariable = "VELORA_BENCH_ANIMATE";
const char *const PortalHalfVariable = "VELORA_BENCH_PORTAL_HALF";
const int Seconds = Bench::measuredSeconds(60);
constexpr int Width = 1024;

/// The processes tools/wayland-session started beside this one, but the picture's client.
QList<qint64> sessionProcesses()
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == getpid())
            continue;
        const QList<QByteArray> fields = Bench::processStat(pid);
        QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
        if (fields.size() > 1 && fields[1].toLongLong() == getppid()
            && name.open(QIODevice::ReadOnly) && name.readAll().trimmed() != "moving-picture")
            found.append(pid);
    }
    return found;
}

struct Figures
{
    double recorder = 0; // CPU s per recorded second
    double display = 0;
    int frames = 0;
};

/// Records `Seconds` of the desktop and measures it; `display` lists the display side.
Figures record(const QList<qint64> &display)
{
    auto displayCpu = [&display] {
        double sum = 0;
        for (const qint64 pid : display)
            sum += Bench::processCpuSeconds(pid);
        return sum;
    };
    AVIRecordingCtrl recording;
    const double before = Bench::cpuSeconds(RUSAGE_SELF);
    const double displayBefore = displayCpu();
    if (!recording.start(Width, 0, QString()))
        return {};
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < Seconds * 1000)
        QThread::msleep(50);
    const QString file = recording.stop(QString());
    Figures figures;
    figures.recorder = (Bench::cpuSeconds(RUSAGE_SELF) - before) / Seconds;
    figures.display = (displayCpu() - displayBefore) / Seconds;
    const RecordingProbe probe = RecordingProbe::of(file);
    figures.frames = probe.width == Width ? probe.frames : 0;
    return figures;
}

int portalHalf(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));
    ComponentRef<SettingIntf>()->setSavePath(QDir::home().filePath(QStringLiteral("recordings")));
    const Figures figures = record(sessionProcesses());
    std::printf("PORTAL %.6f %.6f %d\n", figures.recorder, figures.display, figures.frames);
    return figures.frames > 0 ? 0 : 1;
}

/// This program, for the copies that draw and that record the Wayland desktop.
QString self()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

Figures recordThroughThePortal(const QString &folder)
{
    QProcess build;
    build.start(QStringLiteral(VELORA_SOURCE_DIR "/tools/build-portal-wlr"),
                {QStringLiteral(VELORA_BUILD_DIR "/portal-wlr")});
    build.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!build.waitForFinished(900000) || build.exitCode() != 0) {
        std::fprintf(stderr, "the wlroots portal could not be built\n");
        return {};
    }
    const QString portal = QString::fromUtf8(build.readAllStandardOutput()).trimmed();
    QFile screens(folder + QStringLiteral("/screens.json"));
    if (!screens.open(QIODevice::WriteOnly)
        || screens.write(R"({"screens": [{"name": "HEADLESS-1", "x": 0, "y": 0, "width": 1920,
            "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                < 0)
        return {};
    screens.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(PortalHalfVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("MOVING_PICTURE_BARS"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       QStringLiteral("offscreen:configfile=") + screens.fileName());
    environment.insert(QStringLiteral("HOME"), folder);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder + QStringLiteral("/.local/share"));
    QProcess half;
    half.setProcessEnvironment(environment);
    half.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    half.start(QStringLiteral(VELORA_SOURCE_DIR "/tools/wayland-session"),
               {QStringLiteral("--portal-wlr"), portal, QStringLiteral("--client"),
                QStringLiteral(MOVING_PICTURE), QStringLiteral("--"), self()});
    half.waitForFinished((Seconds + 120) * 1000);
    Figures figures;
    const QList<QByteArray> lines = half.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("PORTAL ")) {
            const QList<QByteArray> values = line.split(' ');
            figures = {values.value(1).toDouble(), values.value(2).toDouble(),
                       values.value(3).toInt()};
        } else if (!line.isEmpty()) {
            std::printf("%s\n", line.constData());
        }
    }
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(AnimateVariable)) {
        QApplication app(argc, argv);
        // The moving-picture client's bars and square, at the headless output's rate.
        Bench::MovingBars bars(
                16,
                [](int bar, int tick) {
                    const int shade = (bar * 22 + tick * 3) & 0xff;
                    return QColor(shade, 255 - shade, 0x80);
                },
                false);
        bars.showFullScreen();
        return app.exec();
    }
    if (qEnvironmentVariableIsSet(PortalHalfVariable))
        return portalHalf(argc, argv);

    QTemporaryDir work(QStringLiteral("/tmp/velora-bench-XXXXXX"));
    const Figures portal = recordThroughThePortal(work.path());

    const PrivateDisplay display(QStringLiteral("1920x1080x24"));
    if (!display.isRunning())
        return 1;
    qputenv("HOME", work.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (work.path() + "/.local/share").toLocal8Bit());
    QProcess drawing;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(AnimateVariable), QStringLiteral("1"));
    drawing.setProcessEnvironment(environment);
    drawing.start(self(), {});
    QThread::sleep(2);
    Figures x11;
    {
        QApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Velora"));
        ComponentRef<SettingIntf>()->setSavePath(work.filePath(QStringLiteral("recordings")));
        x11 = record({display.processId()});
    }
    drawing.kill();
    drawing.waitForFinished();

    std::printf("  portal: %.3f + %.3f CPU s/s (recorder + display), %d frames\n", portal.recorder,
                portal.display, portal.frames);
    std::printf("  X11:    %.3f + %.3f CPU s/s (recorder + display), %d frames\n", x11.recorder,
                x11.display, x11.frames);
    const char *tool = "X11 grab of Xvfb, same recording";
    Bench::report("portal recording CPU per recorded second, 1080p to 1024 wide", portal.recorder,
                  x11.recorder, "CPU s/s", Bench::Better::Lower, tool);
    Bench::report("portal recording CPU with the display side, 1080p to 1024 wide",
                  portal.recorder + portal.display, x11.recorder + x11.display, "CPU s/s",
                  Bench::Better::Lower, tool);
    Bench::report("portal recording frames written of 1500", portal.frames, x11.frames, "frames",
                  Bench::Better::Higher, tool);
    return portal.frames > 0 && x11.frames > 0 ? 0 : 1;
}
