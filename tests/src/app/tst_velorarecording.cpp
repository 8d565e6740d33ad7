// Recording a lesson through the main window, as a teacher does it: real recordings of the
// private Xvfb's desktop with the test sound server's sine input, read back with libavformat.
// Xvfb has no system tray, so the stand-in bar carries the controls.

#include <CaptureIntf.h>
#include <KivoscopeIntf.h>
#include <MessageBox.h>
#include <RecordingControlBar.h>
#include <RecordingIntf.h>
#include <RecordingProbe.h>
#include <RecordingStarter.h>
#include <SettingDialog.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <TerminationWatcher.h>
#include <ToolsPanel.h>
#include <Velora.h>
#include <VeloraTest.h>
#include <WidgetModeToolBar.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QToolButton>

#include <csignal>

namespace {

QString mediaFolder()
{
    return VeloraTest::homePath() + QStringLiteral("/Lessons/");
}

QStringList recordings()
{
    QStringList files;
    for (const QFileInfo &file : QDir(mediaFolder()).entryInfoList({QStringLiteral("*.avi")}))
        files.append(file.filePath());
    return files;
}

/// The only recording, which a player can open and show: a picture and sound, with a length.
RecordingProbe playableRecording()
{
    const QStringList files = recordings();
    const RecordingProbe probe = RecordingProbe::of(files.value(0));
    const bool playable = files.size() == 1 && probe.videoStreams == 1 && probe.audioStreams == 1
            && probe.frames > 0 && RecordingProbe::reportedSeconds(files.first()) > 0;
    return playable ? probe : RecordingProbe();
}

} // namespace

class TestVeloraRecording : public QObject
{
    Q_OBJECT

    ComponentRef<RecordingIntf> recorder;
    QStringList asked; // informative texts of the questions, in order

    void settle(Velora &window)
    {
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ComponentRef<KivoscopeIntf> kivoscope;
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
    }

    /// Clicks `button`, lets the countdown run out and waits for the recording to run.
    void recordAfterCountdown(Velora &window, QAbstractButton *button)
    {
        button->click();
        QVERIFY(window.recordingStarter());
        QTRY_VERIFY_WITH_TIMEOUT(!window.recordingStarter(), 8000);
        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Recording);
    }

private Q_SLOTS:
    void init()
    {
        ComponentRef<SettingIntf> settings;
        QDir().mkpath(mediaFolder());
        settings->setSavePath(mediaFolder());
        settings->setAudioSource(QStringLiteral("Sine source at 440 Hz"));
        settings->setValue(QStringLiteral("NOT_FIRST_TIME_LAUNCH"), true);
        asked.clear();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked.append(question.informativeText);
            return MessageBox::defaultAnswer(question);
        });
    }

    void cleanup()
    {
        MessageBox::setAnswerer({});
        recorder->stopRecording(nullptr);
        QDir(mediaFolder()).removeRecursively();
    }

    void recordsPausesMutesAndStopsALesson()
    {
        Velora window;
        settle(window);
        RecordingControlBar *bar = window.recordingBar();
        QVERIFY(!bar->isVisible());
        QElapsedTimer wall;
        wall.start();
        recordAfterCountdown(window, window.tools()->recordButton());
        QVERIFY(window.tools()->recordButton()->isChecked());
        QVERIFY(window.widgetModeBar()->isRecordIndicatorShown());
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->geometry().top(), window.screen()->availableGeometry().top());
        // The microphone cannot change under a running recording.
        SettingDialog *settingsDialog = window.settingsDialog();
        settingsDialog->show();
        QVERIFY(!settingsDialog->microphoneSelector()->isEnabled());
        settingsDialog->cancel();
        QTRY_COMPARE_WITH_TIMEOUT(bar->counterText(), QStringLiteral("Recording 00:00:02"), 5000);

        // Paused, the counter stands still and the time is not in the file.
        bar->pauseButton()->click();
        QVERIFY(bar->pauseButton()->isChecked());
        QElapsedTimer paused;
        paused.start();
        const QString atPause = bar->counterText();
        QTest::qWait(2000);
        QCOMPARE(bar->counterText(), atPause);
        // Pause again is refused by the recording and changes nothing.
        QMetaObject::invokeMethod(&window, "playPauseRecord", Q_ARG(bool, true));
        QVERIFY(bar->pauseButton()->isChecked());
        bar->pauseButton()->click();
        const qint64 pausedMs = paused.elapsed();
        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Resumed);
        QVERIFY(!bar->pauseButton()->isChecked());

        // Muted late enough for the sine input's slow start (its stream takes up to two seconds
        // to deliver) to be behind it.
        QTRY_COMPARE_WITH_TIMEOUT(bar->counterText(), QStringLiteral("Recording 00:00:04"), 6000);
        bar->muteButton()->click();
        QVERIFY(recorder->isMute());
        QTRY_COMPARE_WITH_TIMEOUT(bar->counterText(), QStringLiteral("Recording 00:00:06"), 6000);
        bar->stopButton()->click();
        const qint64 recordedMs = wall.elapsed() - pausedMs;

        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Idle);
        QVERIFY(!bar->isVisible());
        QVERIFY(!window.tools()->recordButton()->isChecked());
        QVERIFY(!window.widgetModeBar()->isRecordIndicatorShown());
        settingsDialog->show();
        QVERIFY(settingsDialog->microphoneSelector()->isEnabled());
        settingsDialog->cancel();
        const RecordingProbe probe = playableRecording();
        QVERIFY(probe.opened);
        QVERIFY2(probe.videoSeconds >= 5.0 && probe.videoSeconds * 1000 < recordedMs,
                 qPrintable(QString::number(probe.videoSeconds)));
        // The sine input was heard before the mute.
        QVERIFY(probe.pcm.count('\0') < probe.pcm.size());
        QVERIFY(asked.isEmpty());

        // The next lesson starts with its sound on again, and a new screen resolution ends it
        // with its file kept.
        recordAfterCountdown(window, window.tools()->recordButton());
        QVERIFY(!recorder->isMute() && !bar->muteButton()->isChecked());
        QVERIFY(QMetaObject::invokeMethod(&window, "getResolutionChangedToResize", Q_ARG(int, 0)));
        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Idle);
        QVERIFY(!bar->isVisible());
        QCOMPARE(recordings().size(), 2);
    }

    void escapeCancelsTheCountdownInWidgetMode()
    {
        Velora window;
        settle(window);
        window.becomeWidgetMode();
        QAbstractButton *record = window.widgetModeBar()->recordButton();
        QVERIFY(record->isVisible());
        record->click();
        RecordingStarter *starter = window.recordingStarter();
        QVERIFY(starter);
        // The window is away; the countdown covers the screen that would be recorded.
        QCOMPARE(starter->geometry(), window.widgetModeBar()->screen()->geometry());
        QTest::keyClick(starter, Qt::Key_Escape);
        QTRY_VERIFY(!window.recordingStarter());
        QTest::qWait(500);
        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Idle);
        QVERIFY(!record->isChecked());
        QVERIFY(recordings().isEmpty());
        window.leaveWidgetMode();
    }

    void exitAsksAboutTheRecordingBeforeTheTimeLapse()
    {
        Velora window;
        settle(window);
        ComponentRef<CaptureIntf> capture;
        QCOMPARE(capture->setTimeLapseParams(7200, 3600), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        recordAfterCountdown(window, window.tools()->recordButton());
        // Yes to ending the recording, No (the default) to ending the time lapse.
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked.append(question.informativeText);
            return asked.size() == 1 ? QMessageBox::Yes : QMessageBox::No;
        });
        QVERIFY(!window.close());
        QCOMPARE(asked,
                 QStringList({QStringLiteral("Recording in progress"),
                              QStringLiteral("Time Lapse Capture is on going!")}));
        QVERIFY(window.isVisible());
        // Agreed to, the recording ended and its file stays, whatever the time lapse said.
        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Idle);
        QVERIFY(!window.recordingBar()->isVisible());
        QVERIFY(playableRecording().opened);
        QCOMPARE(capture->stopTimeLapseCapture(), 0);
    }

    void logoutEndsTheRecordingWithoutAQuestion()
    {
        Velora window;
        settle(window);
        TerminationWatcher termination;
        connect(&termination, &TerminationWatcher::terminationRequested, &window,
                &Velora::endSession);
        recordAfterCountdown(window, window.tools()->recordButton());
        QTest::qWait(1500);
        QVERIFY(::raise(SIGTERM) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
        QVERIFY(asked.isEmpty());
        QCOMPARE(recorder->getActionStatus(), RecordingStatus::Idle);
        QVERIFY(playableRecording().opened);
    }
};

VELORA_TEST_MAIN(TestVeloraRecording)
#include "tst_velorarecording.moc"
