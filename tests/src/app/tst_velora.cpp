#include <CameraWidget.h>
#include <KivoscopeIntf.h>
#include <Velora.h>
#include <VeloraTest.h>
#include <WebCamIntf.h>

#include <QPushButton>
#include <QSignalSpy>

/// The main window as it stands: the live document camera with its controls, and a webcam.
class TestVelora : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlsActOnTheLivePictureAndTheWebcamShowsWhenAsked()
    {
        Velora window;
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
        QVERIFY(kivoscope->view()->isVisible());

        QSignalSpy zoomed(kivoscope, &KivoscopeIntf::zoomRatioChanged);
        auto *zoomIn = window.findChild<QAbstractButton *>(QStringLiteral("zoomInBtn"));
        QVERIFY(zoomIn);
        QTRY_VERIFY_WITH_TIMEOUT(zoomIn->isEnabled(), 5000);
        zoomIn->click();
        QTRY_VERIFY_WITH_TIMEOUT(!zoomed.isEmpty() && zoomed.last().at(0).toDouble() > 1.0, 5000);

        WebCamIntf *webCam = WebCamIntf::getInstance();
        CameraWidget *webCamView = webCam->mainView();
        QVERIFY(!webCamView->isVisible());
        auto *webCamButton = window.findChild<QPushButton *>(QStringLiteral("webCamBtn"));
        webCamButton->click();
        QVERIFY(webCamView->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!webCamView->frame().isNull(), 5000);
        QCOMPARE(webCamView->frame().size(), QSize(320, 240));
        webCamButton->click();
        QVERIFY(!webCamView->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(webCamView->frame().isNull(), 5000);

        webCam->release();
        kivoscope->release();
    }
};

VELORA_TEST_MAIN(TestVelora)
#include "tst_velora.moc"
