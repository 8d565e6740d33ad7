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
#include <QPaintEvent>
#include <QPainter>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

/// Stored top half red, bottom half blue; an empty size writes a file no decoder reads.
/// `rotated` adds the EXIF orientation 6 (turn 90° clockwise to show) of a camera held upright.
void writePicture(const QString &path, QSize size, bool rotated = false)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter(&picture).fillRect(0, 0, size.width(), size.height() / 2, Qt::red);
    QByteArray bytes("not a picture");
    if (QBuffer buffer(&bytes); !size.isEmpty() && buffer.open(QIODevice::WriteOnly))
        picture.save(&buffer, QFileInfo(path).suffix().toLatin1());
    if (rotated)
        bytes.insert(2,
                     QByteArray::fromHex("ffe10022457869660000"
                                         "4d4d002a000000080001011200030000000100060000"
                                         "00000000"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

/// Named pipes, each holding the creator that opens it until opened here.
struct Gates
{
    explicit Gates(const QStringList &paths)
        : paths(paths)
    {
        for (const QString &path : paths)
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    /// Without waiting, those not opened yet are left shut.
    void open(int flags = 0) const
    {
        for (const QString &path : paths) {
            if (const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | flags);
                fd >= 0)
                close(fd);
        }
    }
    /// Opens the gates when the scope ends, also after a failed check, so that no creator is
    /// left waiting; made after the creators, so that it runs before they are destroyed.
    auto openAtEnd() const
    {
        return qScopeGuard([this] { open(O_NONBLOCK); });
    }
    QStringList paths;
};

/// Creators of `paths` with what each said: nothing yet, its thumbnail's path or "failed"; and
/// the most that ran at once.
struct Batch
{
    explicit Batch(const QStringList &paths)
        : said(paths.size())
    {
        for (int i = 0; i < paths.size(); ++i) {
            auto *creator = creators.emplace_back(std::make_unique<MediaThumbnailCreator>(
                                                          *MediaInfoStore::peekInstance()))
                                    .get();
            creator->setPath(paths[i]);
            QObject::connect(creator, &MediaThumbnailCreator::thumbnailCreated, creator,
                             [this, i](const QString &thumbnail) { said[i] = thumbnail; });
            QObject::connect(creator, &MediaThumbnailCreator::createThumbnailFromImageFailed,
                             creator, [this, i] { said[i] = u"failed"_s; });
            QObject::connect(
                    creator, &QThread::started, creator,
                    [this] { peak = qMax(peak.load(), ++active); }, Qt::DirectConnection);
            QObject::connect(
                    creator, &QThread::finished, creator, [this] { --active; },
                    Qt::DirectConnection);
        }
    }
    ~Batch()
    {
        // As the grid does: the manager forgets a creator before it goes. QThread::wait()
        // returns on a flag ThreadSanitizer cannot see: reading the count the creators' last
        // words wrote is what orders those words before their deletion.
        for (const auto &creator : creators) {
            if (manager)
                manager->removeThread(creator.get());
            creator->wait();
        }
        QCOMPARE(active.load(), 0);
    }
    void queue(ThreadManager *threads)
    {
        manager = threads;
        for (const auto &creator : creators)
            threads->addThread(creator.get());
    }
    int answered() const { return said.size() - said.count(QString()); }

    std::vector<std::unique_ptr<MediaThumbnailCreator>> creators;
    QStringList said;
    std::atomic<int> active{0};
    std::atomic<int> peak{0};
    ThreadManager *manager = nullptr;
};

/// The media library grid showing `folder`, one column, three tiles high, with the region it
/// painted.
struct Grid : QObject
{
    explicit Grid(const QString &folder)
    {
        grid.installEventFilter(this);
        model.loadFolder(QDir(folder));
        proxy.setSourceModel(&model);
        table.setModel(&proxy);
        grid.resize(MediaLibThumbnailView::TileWidth, MediaLibThumbnailView::TileHeight * 3);
        grid.changeCurDir(folder);
        grid.changeOrderFromSortModel(&proxy);
        grid.show();
    }
    /// The picture in the middle of the tile of `row`, a little below its centre.
    QColor pictureAt(int row)
    {
        const QRect tile = grid.tileRect(row);
        return grid.grab().toImage().pixelColor(tile.center().x(),
                                                tile.top() + 15 + grid.PictureSize / 2);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }

    MediaLibTableModel model;
    MediaLibSortFilterModel proxy;
    MediaLibTableView table;
    MediaLibThumbnailView grid{&table};
    QRegion painted;
};

} // namespace

class TestThumbnails : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const ComponentRef<MediaInfoStore> store;

    QString at(const QString &name) const { return dir.filePath(name); }

private Q_SLOTS:
    void picturesFitUpright_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<bool>("rotated");
        QTest::addColumn<QSize>("thumbnail");
        QTest::newRow("landscape") << u"wide.jpg"_s << QSize(4000, 3000) << false << QSize(60, 45);
        QTest::newRow("portrait") << u"tall.jpg"_s << QSize(3000, 4000) << false << QSize(45, 60);
        QTest::newRow("exif") << u"turned.jpg"_s << QSize(4000, 3000) << true << QSize(45, 60);
        QTest::newRow("tiff") << u"scan.tif"_s << QSize(800, 600) << false << QSize(60, 45);
        QTest::newRow("unreadable") << u"bad.jpg"_s << QSize() << false << QSize(0, 0);
    }

    void picturesFitUpright()
    {
        QFETCH(QString, name);
        QFETCH(QSize, stored);
        QFETCH(bool, rotated);
        QFETCH(QSize, thumbnail);
        writePicture(at(name), stored, rotated);
        Batch batch({at(name)});
        batch.creators[0]->start();
        const QString png = store->thumbnailPath(at(name));
        QTRY_COMPARE(batch.said[0], !thumbnail.isEmpty() ? png : u"failed"_s);
        const QImage made(png, "PNG");
        QCOMPARE(made.size(), thumbnail);
        if (made.isNull())
            return;
        // Upright: red above blue; the turned one shows its stored top on the right.
        const auto colour = [&made](double x, double y) {
            return made.pixelColor(int(x * (made.width() - 1)), int(y * (made.height() - 1)));
        };
        const QColor storedTop = rotated ? colour(0.95, 0.5) : colour(0.5, 0.05);
        const QColor storedBottom = rotated ? colour(0.05, 0.5) : colour(0.5, 0.95);
        QVERIFY(storedTop.red() > 200 && storedTop.blue() < 60);
        QVERIFY(storedBottom.blue() > 200 && storedBottom.red() < 60);
    }

    void queueRunsThreeAtOnceOnlyOnce()
    {
        QStringList paths;
        for (int i = 3; i < 10; ++i) {
            paths << at(u"queue/%1.jpg"_s.arg(i));
            writePicture(paths.last(), QSize(640, 480));
        }
        Gates gates({at(u"queue/0.jpg"_s), at(u"queue/1.jpg"_s), at(u"queue/2.jpg"_s)});
        const ComponentRef<ThreadManager> threads;
        Batch batch(gates.paths + paths);
        const auto opened = gates.openAtEnd();
        batch.queue(threads.get());
        QTRY_COMPARE(threads->runningCount(), 3);
        QCOMPARE(threads->pendingCount(), 7);
        QCOMPARE(batch.peak, 3);
        // Removed before its turn: dropped, never tried.
        QVERIFY(QFile::remove(paths.takeLast()));
        gates.open();
        QTRY_COMPARE(batch.answered(), 9);
        QStringList made;
        for (const QString &path : std::as_const(paths))
            made << store->thumbnailPath(path);
        QCOMPARE(batch.said.mid(3), made << QString());
        QCOMPARE(batch.peak, 3);

        // A second visit reads no picture: emptied, none could be decoded again.
        QList<QDateTime> times;
        for (const QString &path : std::as_const(paths)) {
            times << QFileInfo(store->thumbnailPath(path)).lastModified();
            QVERIFY(QFile::resize(path, 0));
        }
        Batch again(paths);
        again.queue(threads.get());
        QTRY_COMPARE(again.answered(), 6);
        QCOMPARE(again.said, batch.said.mid(3, 6));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(QFileInfo(again.said[i]).lastModified(), times[i]);
    }

    void exitJoinsRunningCreators()
    {
        // PNG is decoded whole: long enough to be caught in the middle.
        QStringList paths;
        for (int i = 0; i < 8; ++i) {
            paths << at(u"exit/%1.png"_s.arg(i));
            writePicture(paths.last(), QSize(4000, 3000));
        }
        Batch batch(paths);
        batch.queue(ThreadManager::getInstance());
        QTRY_VERIFY(batch.peak > 0);
        ThreadManager::peekInstance()->release();
        batch.manager = nullptr; // gone with its last user
        for (const auto &creator : batch.creators)
            QVERIFY(!creator->isRunning());
    }

    void gridAsksForTilesInSight()
    {
        // Three creators of elsewhere hold every place, so that the grid's requests wait.
        Gates gates({at(u"gate0.jpg"_s), at(u"gate1.jpg"_s), at(u"gate2.jpg"_s)});
        const ComponentRef<ThreadManager> threads;
        Batch held(gates.paths);
        const auto opened = gates.openAtEnd();
        held.queue(threads.get());
        QTRY_COMPARE(threads->runningCount(), 3);
        QStringList pictures;
        for (int i = 0; i < 30; ++i) {
            pictures << at(u"grid/%1.png"_s.arg(i, 2, 10, QLatin1Char('0')));
            writePicture(pictures.last(), i == 21 ? QSize() : QSize(8, 8));
        }
        // A grid that goes away takes its requests along.
        std::make_unique<Grid>(at(u"grid"_s))->grid.grab();
        QCOMPARE(threads->pendingCount(), 0);

        Grid view(at(u"grid"_s));
        view.grid.grab();
        QCOMPARE(threads->pendingCount(), 3);
        // Scrolled away before their turn: withdrawn for the tiles now in sight.
        view.grid.setOffset(20 * MediaLibThumbnailView::TileHeight, Qt::Vertical);
        const QColor unreadable = view.pictureAt(21);
        QVERIFY(unreadable != QColor(Qt::blue));
        QCOMPARE(threads->pendingCount(), 3);
        QCoreApplication::processEvents();
        view.painted = QRegion();
        gates.open();
        // Painted by the thumbnail's arrival alone, nothing else asking.
        QTRY_VERIFY(view.painted.contains(view.grid.tileRect(20)));
        QTRY_COMPARE(view.pictureAt(20), QColor(Qt::blue));
        QTRY_COMPARE(view.pictureAt(22), QColor(Qt::blue));
        QCOMPARE(view.pictureAt(21), unreadable);
        for (int i = 0; i < 30; ++i)
            QCOMPARE(QFileInfo::exists(store->thumbnailPath(pictures[i])), i == 20 || i == 22);
    }
};

VELORA_TEST_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
