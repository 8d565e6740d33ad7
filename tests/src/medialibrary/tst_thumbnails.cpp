#include <MediaInfoStore.h>
#include <MediaLibSortFilterModel.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibThumbnailView.h>
#include <MediaThumbnailCreator.h>
#include <SharedComponent.h>
#include <ThreadManager.h>
#include <VeloraTest.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalSpy>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

/// The EXIF block that says "turn 90° clockwise to show" (orientation 6), as a camera held
/// upright writes it.
const QByteArray RotatedExif = QByteArray::fromHex("ffe10022"
                                                   "457869660000"
                                                   "4d4d002a00000008"
                                                   "0001"
                                                   "011200030000000100060000"
                                                   "00000000");

/// Writes a picture whose top half is red and bottom half blue, as stored.
void writePicture(const QString &path, QSize size, bool rotated = false)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter(&picture).fillRect(0, 0, size.width(), size.height() / 2, Qt::red);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(QImageWriter(&buffer, QFileInfo(path).suffix().toLatin1()).write(picture));
    }
    if (rotated)
        bytes.insert(2, RotatedExif);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

/// Lets the creator of the named pipe `path` go on once it opens the pipe, or at once only if it
/// has; it reads nothing.
void openGate(const QString &path, bool waitForCreator = true)
{
    const int fd = open(QFile::encodeName(path).constData(),
                        O_WRONLY | (waitForCreator ? 0 : O_NONBLOCK));
    if (fd >= 0)
        close(fd);
}

/// The media library grid showing `folder`, `columns` × `lines` tiles in sight.
struct Grid
{
    Grid(const QString &folder, int columns, int lines)
    {
        model.loadFolder(QDir(folder));
        proxy.setSourceModel(&model);
        table.setModel(&proxy);
        table.doSorting();
        grid.resize(MediaLibThumbnailView::TileWidth * columns,
                    MediaLibThumbnailView::TileHeight * lines);
        grid.changeCurDir(folder);
        grid.changeOrderFromSortModel(&proxy);
        grid.show();
    }

    MediaLibTableModel model;
    MediaLibSortFilterModel proxy;
    MediaLibTableView table;
    MediaLibThumbnailView grid{&table};
};

/// Creators of pictures, with what each said, in the order given.
struct Batch
{
    Batch(const MediaInfoStore &store, const QStringList &paths)
    {
        for (const QString &path : paths) {
            auto &creator = creators.emplace_back(std::make_unique<MediaThumbnailCreator>(store));
            creator->setPath(path);
            QObject::connect(
                    creator.get(), &QThread::started, creator.get(),
                    [this] {
                        peak = qMax(peak.load(), ++active);
                        ++started;
                    },
                    Qt::DirectConnection);
            QObject::connect(
                    creator.get(), &QThread::finished, creator.get(), [this] { --active; },
                    Qt::DirectConnection);
            said.emplace_back(std::make_unique<QSignalSpy>(
                    creator.get(), &MediaThumbnailCreator::thumbnailCreated));
            failed.emplace_back(std::make_unique<QSignalSpy>(
                    creator.get(), &MediaThumbnailCreator::createThumbnailFromImageFailed));
        }
    }
    int answers() const
    {
        int count = 0;
        for (size_t i = 0; i < creators.size(); ++i)
            count += said[i]->size() + failed[i]->size();
        return count;
    }

    std::vector<std::unique_ptr<MediaThumbnailCreator>> creators;
    std::vector<std::unique_ptr<QSignalSpy>> said;
    std::vector<std::unique_ptr<QSignalSpy>> failed;
    std::atomic<int> active{0};
    std::atomic<int> peak{0};
    std::atomic<int> started{0};
};

} // namespace

class TestThumbnails : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    MediaInfoStore *store = nullptr;

    QString at(const QString &name) const { return dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        store = MediaInfoStore::getInstance();
        QVERIFY(QImageReader::supportedImageFormats().contains("tiff"));
    }

    void cleanupTestCase() { store->release(); }

    void picturesFitUpright_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<bool>("rotated");
        QTest::addColumn<QSize>("thumbnail");
        QTest::addColumn<bool>("redAtTop");
        QTest::newRow("landscape")
                << u"wide.jpg"_s << QSize(4000, 3000) << false << QSize(60, 45) << true;
        QTest::newRow("portrait") << u"tall.jpg"_s << QSize(3000, 4000) << false << QSize(45, 60)
                                  << true;
        // Stored lying down, shown standing: the stored top is the right-hand side.
        QTest::newRow("exif rotated")
                << u"turned.jpg"_s << QSize(4000, 3000) << true << QSize(45, 60) << false;
        QTest::newRow("tiff") << u"scan.tif"_s << QSize(800, 600) << false << QSize(60, 45) << true;
        QTest::newRow("small png")
                << u"icon.png"_s << QSize(30, 20) << false << QSize(60, 40) << true;
    }

    void picturesFitUpright()
    {
        QFETCH(QString, name);
        QFETCH(QSize, stored);
        QFETCH(bool, rotated);
        QFETCH(QSize, thumbnail);
        QFETCH(bool, redAtTop);
        writePicture(at(name), stored, rotated);
        Batch batch(*store, {at(name)});
        batch.creators[0]->start();
        QVERIFY(batch.creators[0]->wait());
        QCOMPARE(batch.said[0]->size(), 1);
        const QString png = store->thumbnailPath(at(name));
        QCOMPARE(batch.said[0]->at(0).at(0).toString(), png);
        const QImage made(png, "PNG");
        QCOMPARE(made.size(), thumbnail);
        // Upright: red above blue; turned: red on the right.
        const QColor red(Qt::red);
        const QPoint nearRed = redAtTop ? QPoint(made.width() / 2, 2)
                                        : QPoint(made.width() - 3, made.height() / 2);
        const QPoint nearBlue = redAtTop ? QPoint(made.width() / 2, made.height() - 3)
                                         : QPoint(2, made.height() / 2);
        QVERIFY(made.pixelColor(nearRed).red() > 200 && made.pixelColor(nearRed).blue() < 60);
        QVERIFY(made.pixelColor(nearBlue).blue() > 200 && made.pixelColor(nearBlue).red() < 60);
    }

    void unreadablePictureMakesNoThumbnail()
    {
        QFile bad(at(u"bad.jpg"_s));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a picture"));
        bad.close();
        Batch batch(*store, {bad.fileName(), QString()});
        for (const auto &creator : batch.creators) {
            creator->start();
            QVERIFY(creator->wait());
        }
        QCOMPARE(batch.failed[0]->size() + batch.failed[1]->size(), 2);
        QCOMPARE(batch.said[0]->size() + batch.said[1]->size(), 0);
        QVERIFY(!QFileInfo::exists(store->thumbnailPath(bad.fileName())));
    }

    void queueRunsThreeAtOnceAndDropsRemovedPictures()
    {
        // The first three are pipes that hold their creators until the test lets them go.
        QStringList paths;
        for (int i = 0; i < 10; ++i) {
            paths << at(u"queue/%1.jpg"_s.arg(i));
            QDir().mkpath(at(u"queue"_s));
            if (i < 3)
                QCOMPARE(mkfifo(QFile::encodeName(paths.last()).constData(), 0600), 0);
            else
                writePicture(paths.last(), QSize(640, 480));
        }
        const ComponentRef<ThreadManager> threads;
        Batch batch(*store, paths);
        // Also when a check fails, so that the creators can end.
        const auto gatesOpen = qScopeGuard([&paths] {
            for (int i = 0; i < 3; ++i)
                openGate(paths[i], false);
        });
        for (const auto &creator : batch.creators)
            threads->addThread(creator.get());
        QTRY_COMPARE(threads->runningCount(), 3);
        QCOMPARE(batch.started, 3);
        QCOMPARE(threads->pendingCount(), 7);
        for (int i = 0; i < 3; ++i)
            QVERIFY(batch.creators[i]->isRunning());

        // Gone before its turn: never started, never answers.
        QVERIFY(QFile::remove(paths[9]));
        openGate(paths[0]);
        QTRY_VERIFY(batch.started >= 4);
        openGate(paths[1]);
        openGate(paths[2]);
        QTRY_COMPARE(batch.answers(), 9);
        QTRY_COMPARE(threads->runningCount() + threads->pendingCount(), 0);
        QCOMPARE(batch.peak, 3);
        QCOMPARE(batch.started, 9);
        for (int i = 3; i < 9; ++i)
            QCOMPARE(batch.said[i]->size(), 1);
        QCOMPARE(batch.said[9]->size() + batch.failed[9]->size(), 0);

        // A second visit finds every thumbnail and reads no picture: emptied, they could not be
        // decoded, and the thumbnails are not written again.
        QStringList made;
        QList<QDateTime> times;
        for (int i = 3; i < 9; ++i) {
            made << paths[i];
            times << QFileInfo(store->thumbnailPath(paths[i])).lastModified();
            QVERIFY(QFile::resize(paths[i], 0));
        }
        Batch again(*store, made);
        for (const auto &creator : again.creators)
            threads->addThread(creator.get());
        QTRY_COMPARE(again.answers(), 6);
        for (int i = 0; i < 6; ++i) {
            const QString png = store->thumbnailPath(made[i]);
            QCOMPARE(again.said[i]->value(0).value(0).toString(), png);
            QCOMPARE(QFileInfo(png).lastModified(), times[i]);
        }
    }

    void exitWhileCreatorsRunJoinsThem()
    {
        QStringList paths;
        // PNG is decoded whole: long enough to be caught in the middle.
        for (int i = 0; i < 8; ++i) {
            paths << at(u"exit/%1.png"_s.arg(i));
            QDir().mkpath(at(u"exit"_s));
            writePicture(paths.last(), QSize(4000, 3000));
        }
        Batch batch(*store, paths);
        ThreadManager *threads = ThreadManager::getInstance();
        for (const auto &creator : batch.creators)
            threads->addThread(creator.get());
        QTRY_VERIFY(batch.started > 0);
        threads->release();
        for (const auto &creator : batch.creators)
            QVERIFY(!creator->isRunning());
        QCOMPARE(batch.active, 0);
    }

    void gridTilesShowThumbnailsAsTheyArrive()
    {
        const QString folder = at(u"grid"_s);
        QDir().mkpath(folder);
        writePicture(folder + u"/a.jpg"_s, QSize(400, 300));
        QFile bad(folder + u"/b.jpg"_s);
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a picture"));
        bad.close();
        Grid view(folder, 2, 1);
        MediaLibThumbnailView &grid = view.grid;
        // The middle of each tile's picture box.
        const auto pictureAt = [&grid](int row) {
            const QRect tile = grid.tileRect(row);
            return grid.grab().toImage().pixelColor(
                    tile.center().x(), tile.top() + 5 + MediaLibThumbnailView::PictureSize / 2);
        };
        const auto blue = [](const QColor &colour) {
            return colour.blue() > 200 && colour.red() < 60;
        };
        const QColor unreadableBefore = pictureAt(1);
        QVERIFY(!blue(pictureAt(0)));
        QTRY_VERIFY(blue(pictureAt(0)));
        QCOMPARE(pictureAt(1), unreadableBefore);
        QVERIFY(QFileInfo::exists(store->thumbnailPath(folder + u"/a.jpg"_s)));
    }

    void scrollingWithdrawsRequestsOutOfSight()
    {
        // Three creators of elsewhere hold every place, so that the grid's requests wait.
        QStringList gates;
        for (int i = 0; i < 3; ++i) {
            gates << at(u"gate%1.jpg"_s.arg(i));
            QCOMPARE(mkfifo(QFile::encodeName(gates.last()).constData(), 0600), 0);
        }
        const ComponentRef<ThreadManager> threads;
        Batch held(*store, gates);
        const auto gatesOpen = qScopeGuard([&gates] {
            for (const QString &gate : std::as_const(gates))
                openGate(gate, false);
        });
        for (const auto &creator : held.creators)
            threads->addThread(creator.get());
        QTRY_COMPARE(threads->runningCount(), 3);

        const QString folder = at(u"scrolled"_s);
        QDir().mkpath(folder);
        QStringList pictures;
        for (int i = 0; i < 30; ++i) {
            pictures << folder + u"/%1.png"_s.arg(i, 2, 10, QLatin1Char('0'));
            writePicture(pictures.last(), QSize(8, 8));
        }
        // A grid that goes away takes its requests along.
        std::make_unique<Grid>(folder, 1, 3)->grid.grab();
        QCOMPARE(threads->pendingCount(), 0);
        Grid view(folder, 1, 3);
        view.grid.grab();
        QCOMPARE(threads->pendingCount(), 3);
        view.grid.setOffset(20 * MediaLibThumbnailView::TileHeight, Qt::Vertical);
        view.grid.grab();
        QCOMPARE(threads->pendingCount(), 3);

        for (const QString &gate : std::as_const(gates))
            openGate(gate);
        QTRY_COMPARE(threads->runningCount() + threads->pendingCount(), 0);
        for (int i = 0; i < 30; ++i)
            QCOMPARE(QFileInfo::exists(store->thumbnailPath(pictures[i])), i >= 20 && i < 23);
    }
};

VELORA_TEST_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
