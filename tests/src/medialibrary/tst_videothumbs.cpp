#include <MediaImpl.h>
#include <MediaInfoStore.h>
#include <MediaLibSortFilterModel.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibThumbnailView.h>
#include <ShownMediaRecord.h>
#include <VeloraTest.h>
#include <VideoThumbnailGenerator.h>

#include <QProcess>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

class TestVideoThumbs : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    MediaInfoStore *store = MediaInfoStore::getInstance();
    QStringList durationsWritten;

    qint64 storedDuration(const QString &path) const
    {
        MediaImpl media(path, MediaIntf::Video);
        store->readInformation(media);
        return media.duration();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // a.avi turns from red to blue at 3 s, between key frames at 2 and 4 s; short.avi is
        // green for its first second only; raw.avi, stored bottom line first, has a red top.
        const char *script = R"(cd "$0"; mkfifo fifo.avi; echo no video here >broken.avi
            video="ffmpeg -v error -f lavfi -i" encode="-c:v mpeg4 -g 50 -sc_threshold 1000000000"
            $video "color=red:s=160x120:d=3[a];color=blue:s=160x120:d=2[b];[a][b]concat" $encode a.avi
            $video "color=green:s=80x80:d=1[a];color=red:s=80x80:d=1[b];[a][b]concat" $encode short.avi
            $video "color=blue:s=64x32:d=1,drawbox=h=8:color=red:t=fill,vflip" -c:v rawvideo \
                -pix_fmt bgr24 -flipped_raw_rgb 1 raw.avi
            cp short.avi recording.avi; $video testsrc=d=1 -c:v wmv2 b.wmv)";
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-ec"_s, QString::fromUtf8(script), dir.path()}), 0);
        MediaImpl known(dir.filePath(u"short.avi"_s), MediaIntf::Video);
        known.setDuration(1234);
        QVERIFY(store->writeInformation(known));
        store->shownMedia()->setRecordingFile(dir.filePath(u"recording.avi"_s));

        VideoThumbnailGenerator generator;
        QSignalSpy completed(&generator, &VideoThumbnailGenerator::createThumbnailComplete);
        connect(&generator, &VideoThumbnailGenerator::durationWritten, this,
                [this](const QString &path) { durationsWritten << QFileInfo(path).fileName(); });
        generator.generateFolder(dir.path());
        // Refused to the library's remove and rename until it is done.
        QCOMPARE(store->shownMedia()->thumbnailInProgress(), dir.filePath(u"a.avi"_s));
        // In name order: those that do not complete pass before the last that does.
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 3, 20000);
        QCOMPARE(store->shownMedia()->thumbnailInProgress(), QString());
        QCOMPARE(durationsWritten, QStringList({u"a.avi"_s, u"raw.avi"_s}));
    }

    void thumbnails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<qint64>("duration");
        QTest::newRow("the frame at 3 s, decoded on from the key frame before")
                << u"a.avi"_s << QSize(60, 45) << u"blue"_s << 5000LL;
        QTest::newRow("the first frame of a shorter video, its length kept")
                << u"short.avi"_s << QSize(60, 60) << u"green"_s << 1234LL;
        QTest::newRow("upright from bottom-up lines")
                << u"raw.avi"_s << QSize(60, 30) << u"red"_s << 1000LL;
        QTest::newRow("WMV is not looked for") << u"b.wmv"_s << QSize(0, 0) << QString() << 0LL;
        QTest::newRow("unreadable") << u"broken.avi"_s << QSize(0, 0) << QString() << 0LL;
        QTest::newRow("being recorded") << u"recording.avi"_s << QSize(0, 0) << QString() << 0LL;
    }

    void thumbnails()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QString, colour);
        QFETCH(qint64, duration);
        const QImage thumbnail(store->thumbnailPath(dir.filePath(name)), "PNG");
        QCOMPARE(thumbnail.size(), size);
        if (!thumbnail.isNull()) {
            const QColor top = thumbnail.pixelColor(size.width() / 2, size.height() / 8);
            const QMap<int, QString> strongest{
                    {top.red(), u"red"_s}, {top.green(), u"green"_s}, {top.blue(), u"blue"_s}};
            QCOMPARE(strongest.last(), colour);
        }
        QVERIFY(qAbs(storedDuration(dir.filePath(name)) - duration) < 50);
    }

    void gridShowsTheThumbnailOnceMadeAndRereadsTheWrittenLength()
    {
        QTemporaryDir folder;
        QVERIFY(QFile::copy(dir.filePath(u"a.avi"_s), folder.filePath(u"a.avi"_s)));
        MediaLibTableModel model;
        MediaLibSortFilterModel sorted;
        sorted.setSourceModel(&model);
        MediaLibTableView table;
        table.setModel(&sorted);
        MediaLibThumbnailView grid(&table);
        grid.resize(200, 200);
        model.loadFolder(QDir(folder.path()));
        grid.changeOrderFromSortModel(&sorted);
        QSignalSpy reread(&grid, &MediaLibThumbnailView::videoThumbnailReloaded);
        grid.changeCurDir(folder.path());
        grid.grab(); // the tile is seen without its thumbnail, which takes its time to decode
        QTRY_COMPARE_WITH_TIMEOUT(reread.count(), 1, 20000);
        const QImage made(store->thumbnailPath(folder.filePath(u"a.avi"_s)), "PNG");
        const QPoint middle(grid.tileRect(0).center().x(),
                            grid.tileRect(0).top() + 5 + MediaLibThumbnailView::PictureSize / 2);
        QCOMPARE(grid.grab().toImage().pixelColor(middle), made.pixelColor(30, 22));
    }

    void secondVisitPassesMadeThumbnailsAndDestructionLetsGoOfTheVideoUnderWay()
    {
        {
            VideoThumbnailGenerator generator;
            generator.generateFolder(dir.path());
            // a.avi has its thumbnail; the unreadable file after it is tried again.
            QCOMPARE(store->shownMedia()->thumbnailInProgress(), dir.filePath(u"broken.avi"_s));
            // Opening a FIFO would wait for a writer that never comes, the thread and its join
            // with it; the video after it would never be done.
            QVERIFY(QFile::copy(dir.filePath(u"short.avi"_s), dir.filePath(u"copy.avi"_s)));
            QSignalSpy completed(&generator, &VideoThumbnailGenerator::createThumbnailComplete);
            generator.generate({dir.filePath(u"fifo.avi"_s), dir.filePath(u"copy.avi"_s)});
            QTRY_COMPARE(completed.count(), 1);
        }
        QCOMPARE(store->shownMedia()->thumbnailInProgress(), QString());
    }

    void cleanupTestCase() { store->release(); }
};

VELORA_TEST_MAIN(TestVideoThumbs)
#include "tst_videothumbs.moc"
