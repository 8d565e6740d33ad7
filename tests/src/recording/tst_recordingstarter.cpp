// The countdown before a recording on a real X server, with and without a compositing manager.

#include <Compositing.h>
#include <RecordingStarter.h>
#include <VeloraTest.h>

#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>

namespace {
const QRect area(200, 100, 800, 600);

QColor screenColour(QPoint at)
{
    return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), 1, 1)
            .toImage()
            .pixel(0, 0);
}
} // namespace

class TestRecordingStarter : public QObject
{
    Q_OBJECT

    // The white desktop being recorded.
    QWidget desktop;

private Q_SLOTS:
    void initTestCase()
    {
        desktop.setWindowFlags(Qt::FramelessWindowHint);
        desktop.setStyleSheet(QStringLiteral("background: white"));
        desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
        desktop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&desktop));
    }

    void countsDownOverTheArea_data()
    {
        QTest::addColumn<bool>("compositing");
        QTest::addColumn<int>("backdropGrey"); // the desktop's white as seen through the backdrop
        QTest::newRow("plain X server, shaped to the box") << false << 255;
        QTest::newRow("compositing manager, grey backdrop") << true << 191;
    }

    void countsDownOverTheArea()
    {
        QFETCH(bool, compositing);
        QFETCH(int, backdropGrey);
        QProcess manager;
        if (compositing)
            manager.start(QStringLiteral("xcompmgr"));
        QTRY_COMPARE(Compositing::isAvailable(), compositing);

        QPointer starter = new RecordingStarter(false);
        QSignalSpy started(starter, &RecordingStarter::startRecording);
        QSignalSpy finished(starter, &QDialog::finished);
        starter->setGeometry(area);
        starter->show();
        QVERIFY(QTest::qWaitForWindowExposed(starter));
        QCOMPARE(starter->mask().isEmpty(), compositing);
        const auto *box = starter->findChild<QWidget *>(QStringLiteral("countdownBox"));
        QTRY_VERIFY(qAbs(screenColour(area.topLeft() + QPoint(2, 2)).green() - backdropGrey) < 8);
        QCOMPARE(screenColour(area.topLeft() - QPoint(2, 2)), QColor(Qt::white));
        QVERIFY(screenColour(starter->mapToGlobal(box->geometry().topLeft() + QPoint(30, 8)))
                        .lightness()
                < 64);

        const auto *number = starter->findChild<QLabel *>(QStringLiteral("countdownNumber"));
        for (int shown : {3, 2, 1})
            QTRY_VERIFY(number->text().contains(QStringLiteral(">%1<").arg(shown)));
        QTRY_COMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toBool(), true);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
        QTRY_VERIFY(starter.isNull());
        manager.terminate();
        manager.waitForFinished();
    }

    void cancels_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers();
        QTest::newRow("Alt+F4") << int(Qt::Key_F4) << Qt::KeyboardModifiers(Qt::AltModifier);
        QTest::newRow("closed by the window manager") << 0 << Qt::KeyboardModifiers();
    }

    void cancels()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QPointer starter = new RecordingStarter(true);
        QSignalSpy started(starter, &RecordingStarter::startRecording);
        QSignalSpy finished(starter, &QDialog::finished);
        starter->setGeometry(area);
        starter->show();
        QVERIFY(QTest::qWaitForWindowExposed(starter));
        if (key)
            QTest::keyClick(starter, Qt::Key(key), modifiers);
        else
            starter->close();
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toBool(), false);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
        QTRY_VERIFY(starter.isNull());
    }
};

VELORA_TEST_MAIN(TestRecordingStarter)
#include "tst_recordingstarter.moc"
