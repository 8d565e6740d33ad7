#include <RecordingControlBar.h>
#include <VeloraTest.h>

#include <QSignalSpy>
#include <QToolButton>

/// The recording controls that stand in for the tray menu where there is no tray.
class TestRecordingControlBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buttonsAskAndSlotsOnlyShow()
    {
        RecordingControlBar bar;
        QSignalSpy stop(&bar, &RecordingControlBar::stopRequested);
        QSignalSpy pause(&bar, &RecordingControlBar::pauseRequested);
        QSignalSpy mute(&bar, &RecordingControlBar::muteRequested);
        QCOMPARE(bar.counterText(), QStringLiteral("Recording 00:00:00"));
        bar.setSeconds(3723);
        QCOMPARE(bar.counterText(), QStringLiteral("Recording 01:02:03"));

        // The main window reporting a state must not be taken for the user asking for it.
        bar.setPaused(true);
        bar.setMuted(true);
        QVERIFY(bar.pauseButton()->isChecked() && bar.muteButton()->isChecked());
        QCOMPARE(pause.count() + mute.count(), 0);

        bar.pauseButton()->click();
        bar.muteButton()->click();
        bar.muteButton()->click();
        bar.stopButton()->click();
        QCOMPARE(pause, QList<QVariantList>{{false}});
        QCOMPARE(mute, (QList<QVariantList>{{false}, {true}}));
        QCOMPARE(stop.count(), 1);
    }

    void topEdgePosition_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("second monitor, panel at the top")
                << QRect(1920, 32, 1280, 1024) << QPoint(2460, 32);
        QTest::newRow("area narrower than the bar") << QRect(-300, 0, 100, 800) << QPoint(-300, 0);
    }

    void topEdgePosition()
    {
        QFETCH(QRect, available);
        QFETCH(QPoint, expected);
        QCOMPARE(RecordingControlBar::topEdgePosition(available, QSize(200, 30)), expected);
    }
};

VELORA_TEST_MAIN(TestRecordingControlBar)
#include "tst_recordingcontrolbar.moc"
