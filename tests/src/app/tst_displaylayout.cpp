#include <DisplayLayout.h>
#include <VeloraTest.h>

#include <QList>

class TestDisplayLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewsShareTheAreaWithoutOverlap_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<int>("shown"); // how many sources the mode shows
        QTest::addColumn<int>("large"); // the large view: 0 document camera, 1 webcam, 2 media
        for (const QRect &area : {QRect(0, 0, 1920, 1080), QRect(25, 40, 1001, 767)}) {
            QTest::addRow("doc alone %d", area.width()) << 0 << area << 1 << 0;
            QTest::addRow("doc | webcam %d", area.width()) << 2 << area << 2 << -1;
            QTest::addRow("doc | media %d", area.width()) << 3 << area << 2 << -1;
            QTest::addRow("doc large %d", area.width()) << 4 << area << 3 << 0;
            QTest::addRow("webcam large %d", area.width()) << 5 << area << 3 << 1;
            QTest::addRow("media large %d", area.width()) << 6 << area << 3 << 2;
            QTest::addRow("image %d", area.width()) << 7 << area << 1 << 2;
            QTest::addRow("video %d", area.width()) << 8 << area << 1 << 2;
        }
    }

    void viewsShareTheAreaWithoutOverlap()
    {
        QFETCH(int, mode);
        QFETCH(QRect, area);
        QFETCH(int, shown);
        QFETCH(int, large);
        const DisplayLayout layout = DisplayLayout::compute(mode, area);
        const QList<QRect> all{layout.docCam, layout.webCam, layout.media};
        QList<QRect> views;
        for (const QRect &view : all) {
            if (!view.isEmpty())
                views.append(view);
        }
        QCOMPARE(views.size(), shown);
        qint64 covered = 0;
        for (int i = 0; i < views.size(); ++i) {
            QVERIFY(area.contains(views.at(i)));
            covered += qint64(views.at(i).width()) * views.at(i).height();
            for (int j = i + 1; j < views.size(); ++j)
                QVERIFY2(!views.at(i).intersects(views.at(j)), qPrintable(QTest::currentDataTag()));
        }
        // Nothing is wasted: the views tile the whole area.
        QCOMPARE(covered, qint64(area.width()) * area.height());
        // The mode's own source has more than twice the room of any other.
        for (const QRect &view : all) {
            if (large >= 0 && view != all[large])
                QVERIFY(all[large].width() * all[large].height()
                        > 2 * view.width() * view.height());
        }
    }
};

VELORA_TEST_MAIN(TestDisplayLayout)
#include "tst_displaylayout.moc"
