#include <MediaDrop.h>
#include <RecordingCounter.h>
#include <VeloraTest.h>

class TestMainWindowRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dropsTakeOnePictureOrVideo_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("path");
        const auto file = [](const char *path) {
            return QUrl::fromLocalFile(QLatin1String(path));
        };
        using K = MediaDrop::Kind;
        QTest::newRow("upper-case name")
                << QList<QUrl>{file("/home/t/PHOTO.JPG")} << int(K::Image) << "/home/t/PHOTO.JPG";
        QTest::newRow("tiff") << QList<QUrl>{file("/t/scan.TIFF")} << int(K::Image)
                              << "/t/scan.TIFF";
        QTest::newRow("video") << QList<QUrl>{file("/t/lesson.avi")} << int(K::Video)
                               << "/t/lesson.avi";
        QTest::newRow("gif") << QList<QUrl>{file("/t/anim.gif")} << int(K::None) << QString();
        QTest::newRow("two files")
                << QList<QUrl>{file("/t/a.jpg"), file("/t/b.jpg")} << int(K::None) << QString();
        QTest::newRow("remote picture")
                << QList<QUrl>{QUrl(QStringLiteral("https://example.org/board.jpeg"))}
                << int(K::Image) << "https://example.org/board.jpeg";
        QTest::newRow("jpg in a folder name")
                << QList<QUrl>{file("/t/photos.jpg/notes.txt")} << int(K::None) << QString();
    }

    void dropsTakeOnePictureOrVideo()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(int, kind);
        QFETCH(QString, path);
        const MediaDrop drop = MediaDrop::classify(urls);
        QCOMPARE(int(drop.kind), kind);
        QCOMPARE(drop.path, path);
        QCOMPARE(drop.accepted(), kind != int(MediaDrop::Kind::None));
    }

    void counterShowsHoursMinutesSeconds_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 0 << "Recording 00:00:00";
        QTest::newRow("3723 ticks") << 3723 << "Recording 01:02:03";
        QTest::newRow("long lesson") << 36000 + 59 * 60 + 59 << "Recording 10:59:59";
        QTest::newRow("not wrapped") << 100 * 3600 << "Recording 100:00:00";
    }

    void counterShowsHoursMinutesSeconds()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(recordingCounterText(seconds), text);
    }
};

VELORA_TEST_MAIN(TestMainWindowRules)
#include "tst_mainwindowrules.moc"
