// Opening a folder of 2,000 pictures and 500 recordings in the media library panel, in list mode
// and in view mode: the time from the request to the end of the first paint of the view, and the
// longest time the GUI thread was busy without turning its event loop (the open itself, the
// index taking the new files, the durations arriving and being written back while the table is
// scrolled through). Context in the same run: `ls -l` of the folder and `ffprobe` reading the
// duration of every recording.

#include "BenchReport.h"

#include <MediaIntf.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibThumbnailView.h>
#include <MediaLibraryPanel.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <cstdio>
#include <vector>

namespace {

constexpr int Pictures = 2000;
constexpr int Recordings = 500;
constexpr double StallGoalMs = 50;

using Bench::StallMonitor;

/// Notes when `widget` has finished its first paint after arm().
class PaintWatch : public QObject
{
public:
    void arm(QWidget *widget, const QElapsedTimer *since)
    {
        if (watched)
            watched->removeEventFilter(this);
        watched = widget;
        clock = since;
        paintedMs = -1;
        widget->installEventFilter(this);
    }
    double paintedMs = -1;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object == watched && event->type() == QEvent::Paint && paintedMs < 0) {
            // The zero timer runs once the paint in progress has returned.
            QTimer::singleShot(0, this, [this] {
                if (paintedMs < 0)
                    paintedMs = clock->nsecsElapsed() / 1e6;
            });
        }
        return false;
    }

private:
    QWidget *watched = nullptr;
    const QElapsedTimer *clock = nullptr;
};

void waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void runFor(int milliseconds)
{
    waitFor([] { return false; }, milliseconds);
}

bool makeFolder(const QString &folder, const QString &sampleJpeg, const QString &sampleAvi)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int i = 0; i < Pictures; ++i) {
        if (!QFile::copy(sampleJpeg, folder + QStringLiteral("/Velora-picture-%1.jpg").arg(i)))
            return false;
    }
    for (int i = 0; i < Recordings; ++i) {
        if (!QFile::copy(sampleAvi, folder + QStringLiteral("/Velora-lesson-%1.avi").arg(i)))
            return false;
    }
    return true;
}

double runMs(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e6;
}

struct OpenFigures
{
    double firstPaintMs = 0;
    double longestStallMs = 0;
    double durationsMs = 0;
    bool allDurations = false;
};

int videoRowsWithoutDuration(MediaLibTableModel *model)
{
    int missing = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(MediaLibTableModel::KindRole).toInt() == MediaIntf::Video
            && model->index(row, MediaLibTableModel::DurationColumn).data().toString().isEmpty())
            ++missing;
    }
    return missing;
}

// Opens `folder` in the panel's present mode; in list mode then scrolls the table from top to
// bottom a page at a time, as a presenter looking for a recording would, until every duration
// is shown.
OpenFigures openFolder(MediaLibraryPanel &panel, const QString &folder)
{
    OpenFigures figures;
    QWidget *view = panel.viewMode() == MediaLibraryPanel::ListMode
            ? panel.tableView()->viewport()
            : static_cast<QWidget *>(panel.thumbnailView());
    QElapsedTimer clock;
    PaintWatch paint;
    StallMonitor stalls;
    clock.start();
    paint.arm(view, &clock);
    stalls.start();
    QElapsedTimer call;
    call.start();
    panel.showFolder(folder);
    stalls.account(call.nsecsElapsed());
    waitFor([&] { return paint.paintedMs >= 0; }, 10000);
    figures.firstPaintMs = paint.paintedMs;
    if (panel.viewMode() == MediaLibraryPanel::ListMode) {
        QScrollBar *bar = panel.tableView()->verticalScrollBar();
        while (bar->value() < bar->maximum()) {
            bar->setValue(bar->value() + bar->pageStep());
            runFor(30);
        }
        waitFor([&] { return videoRowsWithoutDuration(panel.tableModel()) == 0; }, 60000);
        figures.allDurations = videoRowsWithoutDuration(panel.tableModel()) == 0;
        figures.durationsMs = clock.nsecsElapsed() / 1e6;
    }
    // Whatever the open started (index, write-backs) settles within this time.
    runFor(1500);
    figures.longestStallMs = stalls.longestMs();
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    Bench::useHome(home.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velora"));

    const QString samples = home.path() + QStringLiteral("/samples");
    QDir().mkpath(samples);
    const QString sampleJpeg = samples + QStringLiteral("/sample.jpg");
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    picture.save(sampleJpeg, "JPG", 85);
    const QString sampleAvi = samples + QStringLiteral("/sample.avi");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=size=320x240:rate=10:duration=2"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("sine=sample_rate=8000:duration=2"), QStringLiteral("-c:v"),
                  QStringLiteral("mpeg4"), QStringLiteral("-vtag"), QStringLiteral("XVID"),
                  QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), sampleAvi});
    ffmpeg.waitForFinished(-1);
    if (!QFileInfo::exists(sampleAvi)) {
        std::fprintf(stderr, "ffmpeg could not make the sample recording\n");
        return 1;
    }
    const QString listFolder = home.path() + QStringLiteral("/lessons-list");
    const QString viewFolder = home.path() + QStringLiteral("/lessons-view");
    if (!makeFolder(listFolder, sampleJpeg, sampleAvi)
        || !makeFolder(viewFolder, sampleJpeg, sampleAvi)) {
        std::fprintf(stderr, "the sample folders could not be written\n");
        return 1;
    }

    std::vector<double> lsRuns;
    for (int i = 0; i < 5; ++i)
        lsRuns.push_back(runMs(QStringLiteral("ls"), {QStringLiteral("-l"), listFolder}));
    const double lsMs = Bench::median(lsRuns);
    const double ffprobeMs
            = runMs(QStringLiteral("sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("for f in \"$0\"/*.avi; do ffprobe -v error -show_entries "
                                    "format=duration -of csv=p=0 \"$f\"; done"),
                     listFolder});

    MediaLibraryPanel panel;
    panel.resize(420, 700);
    panel.show();
    runFor(500);

    if (panel.viewMode() != MediaLibraryPanel::ListMode)
        panel.changeViewMode();
    const OpenFigures list = openFolder(panel, listFolder);
    panel.showFolder(home.path());
    runFor(300);
    const OpenFigures listAgain = openFolder(panel, listFolder);
    panel.showFolder(home.path());
    panel.changeViewMode();
    runFor(300);
    const OpenFigures view = openFolder(panel, viewFolder);
    panel.showFolder(home.path());
    runFor(300);
    const OpenFigures viewAgain = openFolder(panel, viewFolder);

    const char *lsTool = "ls -l of the folder (median of 5)";
    const char *goal = "50 ms goal";
    Bench::report("medialibrary first paint, list mode, new folder", list.firstPaintMs, lsMs, "ms",
                  Bench::Better::Lower, lsTool);
    Bench::report("medialibrary first paint, list mode, again", listAgain.firstPaintMs, lsMs, "ms",
                  Bench::Better::Lower, lsTool);
    Bench::report("medialibrary first paint, view mode, new folder", view.firstPaintMs, lsMs, "ms",
                  Bench::Better::Lower, lsTool);
    Bench::report("medialibrary first paint, view mode, again", viewAgain.firstPaintMs, lsMs, "ms",
                  Bench::Better::Lower, lsTool);
    Bench::report("medialibrary longest GUI stall, list mode, new folder", list.longestStallMs,
                  StallGoalMs, "ms", Bench::Better::Lower, goal);
    Bench::report("medialibrary longest GUI stall, list mode, again", listAgain.longestStallMs,
                  StallGoalMs, "ms", Bench::Better::Lower, goal);
    Bench::report("medialibrary longest GUI stall, view mode, new folder", view.longestStallMs,
                  StallGoalMs, "ms", Bench::Better::Lower, goal);
    Bench::report("medialibrary longest GUI stall, view mode, again", viewAgain.longestStallMs,
                  StallGoalMs, "ms", Bench::Better::Lower, goal);
    Bench::report("medialibrary 500 durations shown, table scrolled through", list.durationsMs,
                  ffprobeMs, "ms", Bench::Better::Lower,
                  "ffprobe -show_entries format=duration, each file");
    if (!list.allDurations) {
        std::fprintf(stderr, "not every recording's duration was shown\n");
        return 1;
    }
    return 0;
}
