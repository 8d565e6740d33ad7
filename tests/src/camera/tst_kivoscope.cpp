#include "PluggedCamera.h"

#include <CameraStarter.h>
#include <CameraWidget.h>
#include <DocCamManager.h>
#include <DocCamTypes.h>
#include <KivoSystemOsal.h>
#include <KivoscopeImpl.h>
#include <MessageBox.h>
#include <VeloraTest.h>

#include <QDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>

#include <optional>

namespace {

/// The controller for one test, over a shown window, given back at the end.
struct Controller
{
    QWidget window;
    KivoscopeImpl *impl;

    Controller()
        : impl(KivoscopeImpl::getInstance(&window))
    {
        impl->view()->resize(320, 240);
        window.resize(320, 240);
        window.show();
    }
    ~Controller() { impl->release(); }
    KivoscopeImpl *operator->() const { return impl; }
    QTimer *timer(const char *name) const { return impl->findChild<QTimer *>(QLatin1String(name)); }
};

} // namespace

class TestKivoscope : public QObject
{
    Q_OBJECT

    QList<MessageBox::Question> asked;

private Q_SLOTS:
    void init()
    {
        asked.clear();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked.append(question);
            return QMessageBox::Ok;
        });
    }

    void cleanup() { MessageBox::setAnswerer({}); }

    void commandsWaitForACameraThatIsPublishedAndLentOutOnRequest()
    {
        Controller controller;
        // Without a camera commands are refused.
        QCOMPARE(controller->view()->statusText(), QStringLiteral("Camera not connected"));
        QCOMPARE(controller->zoomIn(), Result::NoDevice);
        QCOMPARE(controller->requestHQImage(), Result::NoDevice);
        QCOMPARE(controller->releaseCameraForOtherApp(), Result::NoDevice);
        QCOMPARE(controller->reconnect(), Result::NoDevice);
        // The range is checked before the camera is asked for.
        for (int level : {-1, 101})
            QCOMPARE(controller->setBrightness(level), KivoscopeResult::OutOfRange);
        QCOMPARE(controller->scaledPictureSize(QSize(100, 50)), QSize(100, 50));
        QVERIFY(!controller->isConnected());

        QSignalSpy connected(controller.impl, &KivoscopeIntf::docCamConnected);
        QSignalSpy status(controller.impl, &KivoscopeIntf::actionStatusChanged);
        PluggedCamera camera(QStringLiteral("Desk"));
        QTRY_VERIFY(controller->isConnected());
        QCOMPARE(connected, (QList<QVariantList>{{QStringLiteral("Desk")}}));
        QCOMPARE(controller->scaledPictureSize(QSize(160, 160)), QSize(160, 120));
        // The simulated camera focuses both ways (0x400) and exposes automatically (no 0x800).
        const uint published = status.last().at(0).toUInt();
        QCOMPARE(published & 0x6000F7Eu, 0x600077Eu);
        QCOMPARE(controller->actionStatus(), published);
        // The automatic switches read inverted.
        QVERIFY(!controller->autoExposure());
        QVERIFY(!controller->autoWhiteBalance());
        QVERIFY(controller->autoImage());

        QSignalSpy rotated(controller.impl, &KivoscopeIntf::rotationChanged);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(controller->rotate(), Result::Success);
            QTRY_COMPARE(rotated.size(), i + 1);
        }
        QCOMPARE(rotated, (QList<QVariantList>{{90u}, {180u}, {270u}, {0u}}));
        // Effects and modes the camera does not have are refused; the panels' tests cover the
        // ones it has.
        QCOMPARE(controller->setColorEffect(3), KivoscopeResult::OutOfRange);
        QCOMPARE(controller->setCameraMode(6), Result::NoDevice);

        QCOMPARE(controller->releaseCameraForOtherApp(), Result::Success);
        QVERIFY(!controller->isConnected());
        QCOMPARE(controller->view()->statusText(), QStringLiteral("Camera not connected"));

        // The other application holds it now: no retries, no notice, reconnect fails.
        SimulatedCameras::setBusy(camera.key, true);
        QCOMPARE(controller->reconnect(), KivoscopeResult::ReconnectFailed);
        QVERIFY(!controller.timer("selectTimer")->isActive());
        QVERIFY(asked.isEmpty());
        SimulatedCameras::setBusy(camera.key, false);
        QCOMPARE(controller->reconnect(), Result::Success);
        QTRY_VERIFY(controller->isConnected());

        // Going to sleep lets the camera go; waking up takes it again.
        KivoSystemOsal::deliverSystemEvent(DocCam::SystemEventSuspend);
        QTRY_VERIFY(!controller->isConnected());
        KivoSystemOsal::deliverSystemEvent(DocCam::SystemEventResume);
        QTRY_VERIFY(controller->isConnected());
    }

    void busyCameraIsPassedOverThenRetriedWithOneNotice()
    {
        PluggedCamera held(QStringLiteral("Held"), [](auto &s) { s.busy = true; });
        std::optional<PluggedCamera> free(std::in_place, QStringLiteral("Free"));
        Controller controller;
        QTRY_VERIFY(controller->isConnected());
        QCOMPARE(controller->modelName(), QStringLiteral("Free"));
        QVERIFY(asked.isEmpty());
        // A camera that is not the current one comes and goes: nothing the presenter sees.
        QSignalSpy disconnected(controller.impl, &KivoscopeIntf::docCamDisconnected);
        {
            PluggedCamera spare(QStringLiteral("Spare"));
            QTest::qWait(200);
        }
        QTest::qWait(200);
        QVERIFY(disconnected.isEmpty());
        QVERIFY(controller->isConnected());
        QCOMPARE(controller->modelName(), QStringLiteral("Free"));

        free.reset();
        QTRY_COMPARE(controller->view()->statusText(), QStringLiteral("Camera in use"));
        QTimer *retry = controller.timer("selectTimer");
        QSignalSpy fired(retry, &QTimer::timeout);
        // Several retries while the other application holds on: tried, failed and set to try
        // again in two seconds, with a single notice.
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(retry->isActive());
            QCOMPARE(retry->interval(), 2000);
            retry->start(1);
            QTRY_COMPARE(fired.size(), i);
        }
        QCOMPARE(controller->view()->statusText(), QStringLiteral("Camera in use"));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).title, QStringLiteral("Kivo DocCam in use!"));
        QCOMPARE(asked.at(0).text, QStringLiteral("Other applications are using the DocCam."));
        QCOMPARE(asked.at(0).informativeText,
                 QStringLiteral("Please try to close some applications and try again."));

        SimulatedCameras::setBusy(held.key, false);
        retry->start(1);
        QTRY_VERIFY(controller->isConnected());
        QVERIFY(!retry->isActive());
        QCOMPARE(asked.size(), 1);
    }

    void slowStartLeavesTheWindowRunning_data()
    {
        QTest::addColumn<bool>("busy");
        // 0 nothing, 1 unplugged, 2 suspended, 3 lent out, 4 controller given back and taken anew
        QTest::addColumn<int>("meanwhile");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("starts") << false << 0 << true << false;
        QTest::newRow("held elsewhere") << true << 0 << false << true;
        QTest::newRow("unplugged while starting") << false << 1 << false << false;
        QTest::newRow("suspended while starting") << false << 2 << false << false;
        QTest::newRow("lent out while starting") << false << 3 << false << false;
        QTest::newRow("controller renewed while starting") << false << 4 << true << false;
    }

    void slowStartLeavesTheWindowRunning()
    {
        QFETCH(bool, busy);
        QFETCH(int, meanwhile);
        QFETCH(bool, connected);
        QFETCH(bool, inUse);
        // Far longer than the waits below: started on the GUI thread, it would outlast them.
        PluggedCamera slow(QStringLiteral("Slow"), [busy](auto &s) {
            s.busy = busy;
            s.startDelayMs = 10000;
        });
        auto controller = std::make_unique<Controller>();
        QTRY_VERIFY(SimulatedCameras::isStarting(slow.key));
        bool served = false;
        QTimer::singleShot(0, [&served] { served = true; });
        QTRY_VERIFY(served);
        QVERIFY(SimulatedCameras::isStarting(slow.key));
        // The start may end from here on; its outcome waits in the event queue for
        // waitForIdle() below, after what happens meanwhile.
        SimulatedCameras::setStartDelay(slow.key, 0);

        if (meanwhile == 1)
            slow.unplug();
        else if (meanwhile == 2)
            KivoSystemOsal::deliverSystemEvent(DocCam::SystemEventSuspend);
        else if (meanwhile == 3)
            QCOMPARE(controller->impl->releaseCameraForOtherApp(), Result::Success);
        DocCamManager *manager = DocCamManager::getDocCamManager({});
        manager->waitForIdle();
        manager->release();
        QCoreApplication::sendPostedEvents(controller->impl);
        // Given back while its start may still run, which is let go with it (a stream left
        // running would deliver to a starter that is gone); the next controller starts afresh.
        if (meanwhile == 4) {
            controller.reset();
            controller = std::make_unique<Controller>();
        }
        controller->impl->findChild<CameraStarter *>()->waitForIdle();
        QTRY_COMPARE(controller->impl->modelName(), connected ? QStringLiteral("Slow") : QString());
        QCOMPARE(controller->impl->view()->statusText() == QStringLiteral("Camera in use"), inUse);
        QCOMPARE(controller->timer("selectTimer")->isActive(), inUse);
        QCOMPARE(asked.size(), inUse ? 1 : 0);
        if (connected)
            QTRY_VERIFY(controller->impl->isConnected());
    }

    void highQualityStillsArriveOnceOrTimeOutOrAreAborted()
    {
        Controller controller;
        PluggedCamera camera(QStringLiteral("Stills"));
        PluggedCamera lost(QStringLiteral("Lost"), [](auto &s) { s.stillsNeverArrive = true; });
        QTRY_VERIFY(controller->isConnected());
        QCOMPARE(controller->modelName(), QStringLiteral("Stills"));
        QSignalSpy captured(controller.impl, &KivoscopeIntf::hqImageCaptured);
        QCOMPARE(controller->requestHQImage(), Result::Success);
        // A second request while the first is pending asks the camera for nothing more.
        QCOMPARE(controller->requestHQImage(), Result::Success);
        QTRY_COMPARE(captured.size(), 1);
        QCOMPARE(captured.at(0).at(0).value<QImage>().size(), QSize(640, 480));
        QTest::qWait(300);
        QCOMPARE(captured.size(), 1);
        QVERIFY(!controller.timer("hqTimer")->isActive());
        controller->toggleFreeze();
        QTRY_COMPARE(controller->actionStatus() != 0
                             && controller->requestHQImage() == KivoscopeResult::Frozen,
                     true);

        // The camera whose stills never arrive takes over.
        camera.unplug();
        QTRY_COMPARE(controller->modelName(), QStringLiteral("Lost"));
        QTRY_VERIFY(controller->isConnected());
        QSignalSpy aborted(controller.impl, &KivoscopeIntf::hqImageCaptureAborted);
        QCOMPARE(controller->requestHQImage(), Result::Success);
        QTimer *timeout = controller.timer("hqTimer");
        QVERIFY(timeout->isActive());
        QCOMPARE(timeout->interval(), 10000);
        timeout->start(1); // the ten seconds, without waiting for them
        // Asking again meanwhile neither asks the camera nor starts the ten seconds afresh.
        QCOMPARE(controller->requestHQImage(), Result::Success);
        QTRY_COMPARE(aborted, (QList<QVariantList>{{-1}}));

        QCOMPARE(controller->requestHQImage(), Result::Success);
        QSignalSpy disconnected(controller.impl, &KivoscopeIntf::docCamDisconnected);
        lost.unplug();
        QTRY_COMPARE(aborted, (QList<QVariantList>{{-1}, {-1000}}));
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(controller->view()->statusText(), QStringLiteral("Camera not connected"));
        QVERIFY(controller->view()->frame().isNull());
    }

    void actionStatusAndTuningFollowTheCamera()
    {
        Controller controller;
        PluggedCamera camera(QStringLiteral("Tuner"), [](auto &s) { s.tuningOnContrast = true; });
        QTRY_VERIFY(controller->isConnected());
        QSignalSpy status(controller.impl, &KivoscopeIntf::actionStatusChanged);
        const uint full = controller->actionStatus();
        const auto next = [&status](std::function<ResultCode()> change) {
            const qsizetype before = status.size();
            change();
            return QTest::qWaitFor([&] { return status.size() > before; }, 5000)
                    ? status.last().at(0).toUInt()
                    : 0xDEADu;
        };
        QCOMPARE(next([&] { return controller->toggleFreeze(); }), 0x10u);
        QCOMPARE(next([&] { return controller->toggleFreeze(); }), full);
        QCOMPARE(next([&] { return controller->setAutoExposure(false); }), full | 0x800);
        // Manual white balance offers the gains, unless the picture is black and white.
        QVERIFY(next([&] { return controller->setAutoWhiteBalance(false); }) & 0x2000);
        QCOMPARE(next([&] { return controller->setColorEffect(1); }) & 0x3000, 0u);

        // The tuning dialog stands until the camera reports the end of tuning.
        QSignalSpy contrast(controller.impl, &KivoscopeIntf::contrastChanged);
        QString shownText;
        int signalsWhileTuning = -1;
        QTimer::singleShot(100, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                if (auto *label = dialog->findChild<QLabel *>())
                    shownText = label->text();
            }
            signalsWhileTuning = int(contrast.size());
        });
        QCOMPARE(controller->setContrast(70), DocCam::Tuning);
        QCOMPARE(shownText, QStringLiteral("Parameter tuning..."));
        QCOMPARE(signalsWhileTuning, 0);
        QCOMPARE(contrast, (QList<QVariantList>{{70}}));
        QVERIFY(!QApplication::activeModalWidget());

        // Unplugged while tuning: the box goes and the call ends, not by the rescue after 5 s.
        bool rescued = false;
        QTimer::singleShot(0, [&] { camera.unplug(); });
        QTimer::singleShot(5000, &controller.window,
                           [&] { rescued = true, QApplication::closeAllWindows(); });
        QCOMPARE(controller->setContrast(40), Result::NoDevice);
        QVERIFY(!rescued);
        QCOMPARE(status.last().at(0).toUInt(), 0u);
    }

    void cameraModesAreOfferedExceptOnTheK20AndK30()
    {
        KivoscopeImpl::StatusInputs inputs;
        inputs.capabilities = DocCam::CapCameraMode;
        for (const char *model : {"Kivoscope K40", "Kivoscope K20", "Kivoscope K30"}) {
            inputs.modelName = QLatin1String(model);
            const bool offered = KivoscopeImpl::computeActionStatus(inputs) & 0x4000;
            QCOMPARE(offered, inputs.modelName.endsWith(u"K40"));
        }
    }
};

VELORA_TEST_MAIN(TestKivoscope)
#include "tst_kivoscope.moc"
