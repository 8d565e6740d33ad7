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

    // A failed row leaves its countdown on the screen; the next row starts without it.
    void cleanup()
    {
        for (QWidget *window : QApplication::topLevelWidgets())
            delete qobject_cast<RecordingStarter *>(window);
    }

    void countsDownOrCancels_data()
    {
        QTest::addColumn<bool>("compositing");
        QTest::addColumn<QString>("cancel"); // keys, "close", or nothing to count down to the end
        QTest::newRow("plain X server, shaped to the box") << false << QString();
        QTest::newRow("compositing manager, grey backdrop") << true << QString();
        QTest::newRow("Escape") << false << QStringLiteral("Esc");
        QTest::newRow("Alt+F4") << true << QStringLiteral("Alt+F4");
        QTest::newRow("closed by the window manager") << false << QStringLiteral("close");
    }

    void countsDownOrCancels()
    {
        QFETCH(bool, compositing);
        QFETCH(QString, cancel);
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
        // The desktop shows through the backdrop, or around the box of a shaped window; never a
        // black area.
        QCOMPARE(starter->mask().isEmpty(), compositing);
        const int seenWhite = compositing ? 191 : 255;
        QTRY_VERIFY(qAbs(screenColour(area.topLeft() + QPoint(2, 2)).green() - seenWhite) < 8);
        QCOMPARE(screenColour(area.topLeft() - QPoint(2, 2)), QColor(Qt::white));
        const auto *box = starter->findChild<QWidget *>(QStringLiteral("countdownBox"));
        const QPoint inBox = starter->mapToGlobal(box->geometry().topLeft() + QPoint(30, 8));
        QVERIFY(screenColour(inBox).lightness() < 64);

        if (cancel == u"close") {
            starter->close();
        } else if (!cancel.isEmpty()) {
            QTest::keySequence(starter, QKeySequence(cancel));
        } else {
            const auto *number = starter->findChild<QLabel *>(QStringLiteral("countdownNumber"));
            for (int shown : {3, 2, 1})
                QTRY_VERIFY(number->text().contains(QStringLiteral(">%1<").arg(shown)));
        }
        QTRY_COMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toBool(), cancel.isEmpty());
        QCOMPARE(finished.at(0).at(0).toInt(),
                 cancel.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
        QTRY_VERIFY(starter.isNull());
        manager.terminate();
        manager.waitForFinished();
    }
};

VELORA_TEST_MAIN(TestRecordingStarter)
#include "tst_recordingstarter.moc"
