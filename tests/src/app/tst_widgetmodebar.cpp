#include <AboutDialog.h>
#include <CameraWidget.h>
#include <KivoscopeIntf.h>
#include <SimulatedCameras.h>
#include <VeloraTest.h>
#include <WidgetModeDocCamCtrlPanel.h>
#include <WidgetModeToolBar.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

/// The floating bar of widget mode and the About dialog, over the simulated document camera.
class TestWidgetModeBar : public QObject
{
    Q_OBJECT

    // Stands in for the main window: the camera view lives here outside widget mode.
    QWidget host;
    KivoscopeIntf *kivoscope = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        kivoscope = KivoscopeIntf::getInstance(&host);
        host.resize(800, 600);
        host.show();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
    }

    void cleanupTestCase() { kivoscope->release(); }

    void rightEdgePosition_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("bar");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("second monitor, panel at the top")
                << QRect(1920, 40, 1280, 1024) << QSize(320, 500) << QPoint(2880, 302);
        QTest::newRow("monitor left of the primary")
                << QRect(-1280, 100, 1280, 900) << QSize(320, 500) << QPoint(-320, 300);
        QTest::newRow("bar taller than the area")
                << QRect(1920, 30, 800, 500) << QSize(320, 640) << QPoint(2400, 30);
        QTest::newRow("bar wider than the area")
                << QRect(100, 0, 300, 800) << QSize(320, 400) << QPoint(100, 200);
    }

    void rightEdgePosition()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, bar);
        QFETCH(QPoint, expected);
        QCOMPARE(WidgetModeToolBar::rightEdgePosition(available, bar), expected);
    }

    void cameraViewFillsTheSquareAndOnlyTheTitleRowDragsTheBar()
    {
        CameraWidget *view = kivoscope->view();
        view->resize(100, 50);
        auto bar = std::make_unique<WidgetModeToolBar>(kivoscope);
        bar->move(100, 100);
        bar->show();
        QVERIFY(QTest::qWaitForWindowExposed(bar.get()));
        bar->takeCameraView(view);

        const int width = WidgetModeToolBar::Width;
        QCOMPARE(bar->cameraContainer()->size(), QSize(width, width));
        QVERIFY(bar->isAncestorOf(view));
        QTRY_COMPARE(view->geometry(), bar->cameraContainer()->rect());
        QVERIFY(view->isVisible());
        QTRY_VERIFY(!view->frame().isNull());

        const QPoint start = bar->pos();
        for (QWidget *row :
             {bar->findChild<QWidget *>(QStringLiteral("titleLabel")), bar->cameraContainer()}) {
            QTest::mousePress(row, Qt::LeftButton, {}, QPoint(10, 5));
            QTest::mouseMove(row, QPoint(10 - 40, 5 + 30));
            QTest::mouseRelease(row, Qt::LeftButton, {}, QPoint(10 - 40, 5 + 30));
            QTRY_COMPARE(bar->pos(), start + QPoint(-40, 30));
        }

        QCOMPARE(bar->giveBackCameraView(), view);
        QVERIFY(!bar->isAncestorOf(view));
        QCOMPARE(bar->giveBackCameraView(), nullptr);
        view->setParent(&host);
        view->show();

        // A bar closed while holding the view leaves it to the camera controller that owns it.
        bar->takeCameraView(view);
        bar.reset();
        QCOMPARE(kivoscope->view(), view);
        view->setParent(&host);
        view->show();
    }

    void titleAndButtonsFollowTheCamera()
    {
        WidgetModeToolBar bar(kivoscope);
        QCOMPARE(bar.titleText(), kivoscope->modelName());
        QVERIFY(bar.cameraPanel()->isEnabled());

        // The camera VELORA_SIMULATED_CAMERAS attached, the first.
        QVERIFY(SimulatedCameras::remove(QStringLiteral("sim:1")));
        QTRY_COMPARE(bar.titleText(), QStringLiteral("No camera"));
        QVERIFY(!bar.cameraPanel()->isEnabled());

        WidgetModeToolBar openedWithoutCamera(kivoscope);
        QCOMPARE(openedWithoutCamera.titleText(), QStringLiteral("No camera"));
        QVERIFY(!openedWithoutCamera.cameraPanel()->isEnabled());

        SimulatedCameras::Setup setup;
        setup.modelName = QStringLiteral("Widget desk");
        setup.size = QSize(640, 480);
        SimulatedCameras::add(setup);
        QTRY_COMPARE_WITH_TIMEOUT(bar.titleText(), QStringLiteral("Widget desk"), 5000);
        QVERIFY(bar.cameraPanel()->isEnabled());
        QVERIFY(openedWithoutCamera.cameraPanel()->isEnabled());
    }

    void aboutDialogShowsTheVersionAndClosesOnOk()
    {
        AboutDialog dialog(&host);
        dialog.show();
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("versionLabel"))->text(),
                 QStringLiteral("Version 1.1.1035.41"));
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Accepted);
    }
};

VELORA_TEST_MAIN(TestWidgetModeBar)
#include "tst_widgetmodebar.moc"
