// Thumbnails of a folder of 100 photos of 4000 × 3000 (JPEG, 12 megapixels, as a document
// camera's stills) opened in the media library grid, every tile in sight: the wall time from the
// folder being shown until every tile shows its thumbnail, and the process's CPU time per photo
// (every thread, painting included). References on the same files in the same run:
// vipsthumbnail --size 60x60 (one process for all files) and ImageMagick's
// convert -thumbnail 60x60 (one process a file, as a shell loop would run it). A second visit
// of the folder must read no photo: its bytes read per tile are set against a photo's size.
// Last, a folder of 2,000 photos scrolled from top to bottom, a wheel step every 16 ms, while
// their thumbnails are made: the longest time the GUI thread went without turning its event
// loop, against an idle event loop's for as long.

#include "BenchReport.h"

#include <MediaInfoStore.h>
#include <MediaLibSortFilterModel.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibThumbnailView.h>
#include <ThreadManager.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <unistd.h>

namespace {

constexpr int Photos = 100;
constexpr int Columns = 10;
constexpr int ScrolledPhotos = 2000;
const QColor Marker(255, 140, 0);

/// A photo-like picture: gradients, a pattern and grain, so that the JPEG is as large and as
/// slow to decode as a real one; its middle is one colour, to find in the tiles.
QImage makePhoto()
{
    QImage photo(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(1);
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int grain = int(random.bounded(24));
            line[x] = qRgb(x * 200 / photo.width() + grain, y * 200 / photo.height() + grain,
                           (x / 50 + y / 50) % 2 * 90 + grain);
        }
    }
    QPainter(&photo).fillRect(1000, 750, 2000, 1500, Marker);
    return photo;
}

/// Bytes this process has read through read() and the like so far.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    return io.open(QIODevice::ReadOnly) ? io.readLine().mid(7).trimmed().toLongLong() : -1;
}

void waitFor(const std::function<bool()> &done)
{
    // Sleeps between events rather than spinning, so that the GUI thread's CPU time is the
    // application's own; the tick bounds the wait for a condition no event announces.
    QTimer tick;
    tick.start(10);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (timer.elapsed() > 300000) {
            std::fprintf(stderr, "the thumbnails did not all arrive\n");
            std::exit(1);
        }
    }
}

/// The longest stall of an event loop with nothing to do for `milliseconds`: what the machine's
/// other load alone costs the GUI thread.
double idleStallMs(int milliseconds)
{
    Bench::StallMonitor stalls;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    stalls.start();
    loop.exec();
    return stalls.longestMs();
}

/// Tiles whose picture shows the photo's middle.
int tilesShowingPhotos(MediaLibThumbnailView &grid)
{
    const QImage shown = grid.grab().toImage();
    int showing = 0;
    for (int row = 0; row < Photos; ++row) {
        const QRect tile = grid.tileRect(row);
        const QColor colour = shown.pixelColor(
                tile.center().x(), tile.top() + 5 + MediaLibThumbnailView::PictureSize / 2);
        showing += qAbs(colour.red() - Marker.red()) < 16
                && qAbs(colour.green() - Marker.green()) < 16 && colour.blue() < 32;
    }
    return showing;
}

struct Run
{
    double wallMs = 0;
    double cpuSeconds = 0;
};

Run runTool(const QString &program, const QList<QStringList> &calls)
{
    QElapsedTimer wall;
    wall.start();
    const double before = Bench::cpuSeconds(RUSAGE_CHILDREN);
    for (const QStringList &arguments : calls) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            return {};
        }
    }
    return {wall.nsecsElapsed() / 1e6, Bench::cpuSeconds(RUSAGE_CHILDREN) - before};
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    Bench::useHome(home.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velora"));

    const QString folder = home.path() + QStringLiteral("/photos");
    const QString elsewhere = home.path() + QStringLiteral("/elsewhere");
    const QString references = home.path() + QStringLiteral("/references");
    QDir().mkpath(folder);
    QDir().mkpath(elsewhere);
    QDir().mkpath(references);
    const QString sample = home.path() + QStringLiteral("/sample.jpg");
    if (!makePhoto().save(sample, "JPG", 90)) {
        std::fprintf(stderr, "the sample photo could not be written\n");
        return 1;
    }
    QStringList photos;
    for (int i = 0; i < Photos; ++i) {
        photos << folder + QStringLiteral("/Velora-photo-%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        QFile::copy(sample, photos.last());
    }
    const qint64 photoBytes = QFileInfo(sample).size();
    // Every photo read once, so that neither side pays the disk and both the page cache.
    for (const QString &photo : std::as_const(photos)) {
        QFile file(photo);
        file.open(QIODevice::ReadOnly);
        file.readAll();
    }

    const Run vips
            = runTool(QStringLiteral("vipsthumbnail"),
                      {QStringList{QStringLiteral("--size"), QStringLiteral("60x60"),
                                   QStringLiteral("-o"), references + QStringLiteral("/%s.png")}
                       + photos});
    QList<QStringList> convertCalls;
    for (const QString &photo : std::as_const(photos)) {
        convertCalls << QStringList{photo, QStringLiteral("-thumbnail"), QStringLiteral("60x60"),
                                    references + u'/' + QFileInfo(photo).baseName()
                                            + QStringLiteral("-im.png")};
    }
    // The program itself, not a wrapper that may stand in front of it on the path.
    const QString convert = QFileInfo::exists(QStringLiteral("/usr/bin/convert"))
            ? QStringLiteral("/usr/bin/convert")
            : QStringLiteral("convert");
    const Run magick = runTool(convert, convertCalls);

    MediaLibTableModel model;
    model.loadFolder(QDir(elsewhere));
    MediaLibSortFilterModel proxy;
    proxy.setSourceModel(&model);
    MediaLibTableView table;
    table.setModel(&proxy);
    table.doSorting();
    MediaLibThumbnailView grid(&table);
    grid.resize(MediaLibThumbnailView::TileWidth * Columns,
                MediaLibThumbnailView::TileHeight * (Photos / Columns));
    grid.changeOrderFromSortModel(&proxy);
    grid.changeCurDir(elsewhere);
    grid.show();
    QCoreApplication::processEvents();
    // What the panel does to show a folder.
    const auto show = [&](const QString &path) {
        grid.changeCurDir(path);
        model.loadFolder(QDir(path));
        table.doSorting();
        grid.changeOrderFromSortModel(&proxy);
    };

    MediaInfoStore *store = MediaInfoStore::getInstance();
    ThreadManager *threads = ThreadManager::getInstance();
    // Looked at in order, each once found: the check itself must cost next to nothing.
    int made = 0;
    const auto allMade = [&] {
        while (made < Photos && QFileInfo::exists(store->thumbnailPath(photos[made])))
            ++made;
        return made == Photos && threads->runningCount() + threads->pendingCount() == 0;
    };

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = Bench::cpuSeconds(RUSAGE_SELF);
    show(folder);
    waitFor(allMade);
    // The last thumbnails' signals and paints.
    waitFor([&] { return tilesShowingPhotos(grid) == Photos; });
    const Run velora{wall.nsecsElapsed() / 1e6, Bench::cpuSeconds(RUSAGE_SELF) - cpuBefore};

    show(elsewhere);
    QCoreApplication::processEvents();
    const qint64 readBefore = bytesRead();
    show(folder);
    waitFor([&] { return tilesShowingPhotos(grid) == Photos && allMade(); });
    const double againBytesPerTile = double(bytesRead() - readBefore) / Photos;

    // Hard links: 2,000 photos to thumbnail, each under its own name, for one photo's disk space.
    const QString many = home.path() + QStringLiteral("/many");
    QDir().mkpath(many);
    for (int i = 0; i < ScrolledPhotos; ++i) {
        const QString link
                = many + QStringLiteral("/Velora-photo-%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (::link(QFile::encodeName(sample).constData(), QFile::encodeName(link).constData())
            != 0) {
            std::fprintf(stderr, "the folder of %d photos could not be made\n", ScrolledPhotos);
            return 1;
        }
    }
    // As tall as a panel on a 768-line screen: six lines of tiles in sight.
    grid.resize(MediaLibThumbnailView::TileWidth * Columns, MediaLibThumbnailView::TileHeight * 6);
    show(many);
    QCoreApplication::processEvents();
    const int bottom = (ScrolledPhotos / Columns - 6) * MediaLibThumbnailView::TileHeight;
    Bench::StallMonitor stalls;
    QElapsedTimer scrolling;
    scrolling.start();
    stalls.start();
    {
        QEventLoop loop;
        QTimer wheel;
        wheel.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wheel, &QTimer::timeout, &loop, [&] {
            const int next = qMin(bottom, grid.offset() + MediaLibThumbnailView::TileHeight / 3);
            grid.setOffset(next, Qt::Vertical);
            grid.repaint();
            if (next == bottom)
                loop.quit();
        });
        wheel.start(16);
        loop.exec();
    }
    const double scrollStallMs = stalls.longestMs();
    const int scrollMs = int(scrolling.elapsed());
    const int madeWhileScrolling
            = int(QDir(QFileInfo(store->thumbnailPath(many + QStringLiteral("/x.jpg"))).path())
                          .entryList({QStringLiteral("*.png")})
                          .size());
    const double idleScrollStallMs = idleStallMs(scrollMs);
    std::printf("scrolled 2,000 photos in %d ms; %d thumbnails made meanwhile\n", scrollMs,
                madeWhileScrolling);
    show(elsewhere);
    threads->release();
    store->release();

    Bench::report("thumbnails 100 photos 4000x3000: CPU per photo",
                  velora.cpuSeconds / Photos * 1e3, vips.cpuSeconds / Photos * 1e3, "ms",
                  Bench::Better::Lower, "vipsthumbnail --size 60x60, all files in one call");
    Bench::report("thumbnails 100 photos 4000x3000: CPU per photo, second reference",
                  velora.cpuSeconds / Photos * 1e3, magick.cpuSeconds / Photos * 1e3, "ms",
                  Bench::Better::Lower, "convert -thumbnail 60x60, one call per file");
    Bench::report("thumbnails 100 photos 4000x3000: wall time until every tile shows",
                  velora.wallMs, vips.wallMs, "ms", Bench::Better::Lower,
                  "vipsthumbnail --size 60x60, all files in one call");
    Bench::report("thumbnails second visit: bytes read per tile", againBytesPerTile,
                  double(photoBytes), "bytes", Bench::Better::Lower, "size of one photo");
    Bench::report("thumbnails scrolling 2,000 photos while made: longest GUI stall", scrollStallMs,
                  idleScrollStallMs, "ms", Bench::Better::Lower,
                  "idle event loop as long (goal 50 ms)");
    return 0;
}
