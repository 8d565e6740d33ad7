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

    // Centred at the top, never starting left of a screen narrower than the bar.
    void sitsOnTheTopEdge()
    {
        const QSize bar(200, 30);
        QCOMPARE(RecordingControlBar::topEdgePosition(QRect(1920, 32, 1280, 1024), bar),
                 QPoint(2460, 32));
        QCOMPARE(RecordingControlBar::topEdgePosition(QRect(-300, 0, 100, 800), bar),
                 QPoint(-300, 0));
    }
};

VELORA_TEST_MAIN(TestRecordingControlBar)
#include "tst_recordingcontrolbar.moc"
