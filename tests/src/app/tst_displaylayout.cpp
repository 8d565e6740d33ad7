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
        for (const QRect &area : {QRect(0, 0, 1920, 1080), QRect(25, 40, 1001, 767)}) {
            QTest::addRow("doc alone %d", area.width()) << 0 << area << 1;
            QTest::addRow("doc | webcam %d", area.width()) << 2 << area << 2;
            QTest::addRow("doc | media %d", area.width()) << 3 << area << 2;
            QTest::addRow("doc large %d", area.width()) << 4 << area << 3;
            QTest::addRow("webcam large %d", area.width()) << 5 << area << 3;
            QTest::addRow("media large %d", area.width()) << 6 << area << 3;
            QTest::addRow("image %d", area.width()) << 7 << area << 1;
            QTest::addRow("video %d", area.width()) << 8 << area << 1;
        }
    }

    void viewsShareTheAreaWithoutOverlap()
    {
        QFETCH(int, mode);
        QFETCH(QRect, area);
        QFETCH(int, shown);
        const DisplayLayout layout = DisplayLayout::compute(mode, area);
        QList<QRect> views;
        for (const QRect &view : {layout.docCam, layout.webCam, layout.media}) {
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
    }

    void theLargeViewIsTheNamedSource_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("largest"); // 0 document camera, 1 webcam, 2 media
        QTest::newRow("4") << 4 << 0;
        QTest::newRow("5") << 5 << 1;
        QTest::newRow("6") << 6 << 2;
    }

    void theLargeViewIsTheNamedSource()
    {
        QFETCH(int, mode);
        QFETCH(int, largest);
        const DisplayLayout layout = DisplayLayout::compute(mode, QRect(0, 0, 1200, 800));
        const QRect views[] = {layout.docCam, layout.webCam, layout.media};
        for (int i = 0; i < 3; ++i) {
            if (i != largest)
                QVERIFY(views[largest].width() * views[largest].height()
                        > 2 * views[i].width() * views[i].height());
        }
    }

    void pictureInPictureSitsInItsCornerOverTheDocumentCamera()
    {
        const QRect area(0, 0, 1000, 600);
        QList<QPoint> corners;
        for (int corner = 0; corner < 4; ++corner) {
            const DisplayLayout layout = DisplayLayout::compute(1, area, corner);
            QCOMPARE(layout.docCam, area);
            QCOMPARE(layout.webCam, layout.pip);
            QVERIFY(area.contains(layout.pip));
            QCOMPARE(layout.pip.width(), 280);
            QCOMPARE(layout.pip.height(), 210);
            corners.append(layout.pip.center());
        }
        // Top right, bottom right, bottom left, top left.
        QVERIFY(corners[0].x() > 500 && corners[0].y() < 300);
        QVERIFY(corners[1].x() > 500 && corners[1].y() > 300);
        QVERIFY(corners[2].x() < 500 && corners[2].y() > 300);
        QVERIFY(corners[3].x() < 500 && corners[3].y() < 300);
    }
};

VELORA_TEST_MAIN(TestDisplayLayout)
#include "tst_displaylayout.moc"
