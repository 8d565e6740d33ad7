#include <CameraWidget.h>
#include <DocCamPreview.h>
#include <SimulatedCameras.h>
#include <VeloraTest.h>

/// The main window's live picture, driven by simulated cameras plugged in and out.
class TestDocCamPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsCamerasComingAndGoing()
    {
        QWidget window;
        DocCamPreview preview(&window);
        CameraWidget *view = preview.view();
        view->resize(640, 360);
        window.show();
        QCOMPARE(view->statusText(), QStringLiteral("Camera not connected"));

        SimulatedCameras::Setup setup;
        setup.size = QSize(320, 240);
        const QString key = SimulatedCameras::add(setup);
        // Frames keep coming: each paint lets the camera send the next one.
        QTRY_VERIFY_WITH_TIMEOUT(view->frame().sequence() >= 5, 5000);
        QCOMPARE(view->frame().size(), QSize(320, 240));

        SimulatedCameras::remove(key);
        QTRY_VERIFY_WITH_TIMEOUT(view->frame().isNull(), 5000);
        QCOMPARE(view->statusText(), QStringLiteral("Camera not connected"));

        // A camera held by another application is retried until it is free.
        setup.busy = true;
        const QString busy = SimulatedCameras::add(setup);
        QTRY_COMPARE_WITH_TIMEOUT(view->statusText(), QStringLiteral("Camera in use"), 5000);
        SimulatedCameras::setBusy(busy, false);
        QTRY_VERIFY_WITH_TIMEOUT(!view->frame().isNull(), 5000);
        SimulatedCameras::remove(busy);
    }
};

VELORA_TEST_MAIN(TestDocCamPreview)
#include "tst_doccampreview.moc"
