#include <AnnotationIntf.h>
#include <CameraWidget.h>
#include <CanvasView.h>
#include <CaptureIntf.h>
#include <ImageControlPanel.h>
#include <ImageWidget.h>
#include <KivoscopeIntf.h>
#include <LongTimers.h>
#include <MessageBox.h>
#include <PipView.h>
#include <SettingIntf.h>
#include <SimulatedCameras.h>
#include <SplitScreenPanel.h>
#include <ToolsPanel.h>
#include <Velora.h>
#include <VeloraTest.h>
#include <WebCamIntf.h>
#include <WidgetModeToolBar.h>

#include <QAction>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

/// The views a mode shows, as the test reads them off the window.
struct Shown
{
    bool docCam;
    bool webCam;
    bool media;
    bool pip;
};

QRect inCentral(const QWidget *view, const QWidget *central)
{
    return QRect(view->mapTo(central, QPoint(0, 0)), view->size());
}

/// Sends a drag of `urls` onto `window` at `pos`, and the drop if the drag was taken.
bool drop(Velora &window, const QList<QUrl> &urls, const QPoint &pos)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &dropped);
    return dropped.isAccepted();
}

/// A stroke drawn by the left button across `view`, the way a hand moves it.
void drawStroke(QGraphicsView *view, QPoint from, QPoint to)
{
    QWidget *target = view->viewport();
    QTest::mousePress(target, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 8; ++step) {
        const QPoint at = from + (to - from) * step / 8;
        QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
    }
    QTest::mouseRelease(target, Qt::LeftButton, {}, to);
}

} // namespace

/// Urls opened through the desktop, caught instead of starting a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

class TestVelora : public QObject
{
    Q_OBJECT

    QTemporaryDir media;
    QString picture;
    UrlCatcher browser;
    // The environment's first simulated camera is the document camera; a case that unplugs it
    // plugs in another under a new key.
    QString documentCameraKey = QStringLiteral("sim:1");

    void replugDocumentCamera()
    {
        SimulatedCameras::Setup documentCamera;
        documentCamera.size = QSize(640, 480);
        documentCameraKey = SimulatedCameras::add(documentCamera);
    }

    void settle(Velora &window)
    {
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
        kivoscope->release();
    }

    static void setLaunchFlags(bool notFirst, bool tools, bool mediaLib)
    {
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setValue(QStringLiteral("NOT_FIRST_TIME_LAUNCH"), notFirst);
        settings->setValue(QStringLiteral("TOOLS_PANEL_STATUS"), tools);
        settings->setValue(QStringLiteral("MEDIA_LIB_STATUS"), mediaLib);
        settings->release();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        picture = media.filePath(QStringLiteral("PHOTO.JPG"));
        QVERIFY(image.save(picture, "JPEG"));
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void init()
    {
        // Most cases start as a later launch with both panels away.
        setLaunchFlags(true, false, false);
    }

    void cleanup() { MessageBox::setAnswerer({}); }

    void modesShowTheirViewsWithoutOverlap()
    {
        Velora window;
        settle(window);
        QWidget *central = window.centralWidget();
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        WebCamIntf *webCam = WebCamIntf::getInstance();
        QSignalSpy modes(&window, &Velora::splitModeChange);

        const QList<Shown> expected = {
                {true, false, false, false}, {true, true, false, true}, {true, true, false, false},
                {true, false, true, false},  {true, true, true, false}, {true, true, true, false},
                {true, true, true, false},
        };
        const QList<int> sources = {1, 1, 1, 1, 1, 4, 2};
        const QStringList buttons
                = {"oneSplitBtn",    "pipSplitBtn",    "dwSplitBtn",    "dmSplitBtn",
                   "dThreeSplitBtn", "wThreeSplitBtn", "mThreeSplitBtn"};
        for (int mode = 6; mode >= 0; --mode) {
            window.tools()->splitPanel()->findChild<QToolButton *>(buttons.at(mode))->click();
            QCOMPARE(window.currentSplitMode(), mode);
            QCOMPARE(modes.last().at(0).toInt(), mode);
            QCOMPARE(window.mainSource(), sources.at(mode));
            const Shown want = expected.at(mode);
            QCOMPARE(kivoscope->view()->isVisible(), want.docCam);
            QCOMPARE(webCam->isDisplayOn(), want.webCam);
            QCOMPARE(window.splitImageView()->isVisible(), want.media);
            QCOMPARE(window.pictureInPicture()->isVisible(), want.pip);

            // Side by side views tile the area; the frame of mode 1 lies over the camera.
            QList<QRect> tiles;
            if (want.docCam)
                tiles << inCentral(kivoscope->view(), central);
            if (want.webCam && !want.pip)
                tiles << inCentral(webCam->mainView(), central);
            if (want.media)
                tiles << inCentral(window.splitImageView(), central);
            for (int i = 0; i < tiles.size(); ++i) {
                QVERIFY2(central->rect().contains(tiles.at(i)), qPrintable(QString::number(mode)));
                for (int j = i + 1; j < tiles.size(); ++j)
                    QVERIFY(!tiles.at(i).intersects(tiles.at(j)));
            }
            if (mode >= 4) {
                // The large view of a three-way split is the mode's own source.
                QWidget *large = mode == 4 ? kivoscope->view()
                        : mode == 5        ? static_cast<QWidget *>(webCam->mainView())
                                           : window.splitImageView();
                QVERIFY(large->height() > central->height() * 0.9);
            }
        }

        // A resize lays everything out again.
        window.becomeDWTwoSplit();
        window.showNormal();
        window.resize(900, 500);
        QTRY_COMPARE(kivoscope->view()->width() + webCam->mainView()->width(), central->width());
        webCam->release();
        kivoscope->release();
    }

    void pictureInPictureWalksTheCorners()
    {
        Velora window;
        settle(window);
        window.becomePipSplit();
        PipView *pip = window.pictureInPicture();
        const QRect area = window.centralWidget()->rect();
        QVERIFY(area.contains(pip->geometry()));
        QCOMPARE(pip->geometry().topRight(), area.topRight());
        const QList<QPoint> corners
                = {area.bottomRight(), area.bottomLeft(), area.topLeft(), area.topRight()};
        for (int i = 0; i < 4; ++i) {
            pip->moveButton()->click();
            QCOMPARE(pip->cornerIndex(), (i + 1) % 4);
            const QRect frame = pip->geometry();
            QVERIFY(frame.topLeft() == corners.at(i) || frame.topRight() == corners.at(i)
                    || frame.bottomLeft() == corners.at(i) || frame.bottomRight() == corners.at(i));
        }
        // The webcam's picture is inside the frame.
        WebCamIntf *webCam = WebCamIntf::getInstance();
        QCOMPARE(webCam->mainView()->parentWidget(), pip);
        window.becomeDWTwoSplit();
        QCOMPARE(webCam->mainView()->parentWidget(), window.centralWidget());
        QVERIFY(!pip->isVisible());
        webCam->release();
    }

    void imagesEnterFullDisplayOnlyFromTheFirstModes()
    {
        Velora window;
        settle(window);
        QSignalSpy full(&window, &Velora::isFullDisplayMode);
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        WebCamIntf *webCam = WebCamIntf::getInstance();

        for (int from : {0, 1, 2}) {
            full.clear();
            window.becomeOneSplit();
            if (from == 1)
                window.becomePipSplit();
            if (from == 2)
                window.becomeDWTwoSplit();
            window.imgRequestToShow(picture);
            QCOMPARE(window.currentSplitMode(), 7);
            QCOMPARE(window.previousMode(), from);
            QCOMPARE(window.mainSource(), 2);
            QCOMPARE(full.size(), 1);
            QCOMPARE(full.last().at(0).toBool(), true);
            QVERIFY(!kivoscope->view()->isVisible());
            QVERIFY(!webCam->isDisplayOn());
            QTRY_VERIFY(window.fullImageView()->hasImage() && window.fullImageView()->isVisible());
            // The picture keeps its 4:3 shape inside the area.
            QTRY_COMPARE(window.fullImageView()->width() * 3, window.fullImageView()->height() * 4);
            auto *bar = window.findChild<ImageControlPanel *>();
            QVERIFY(bar->isVisible());
            // The tool strip cannot switch layouts or go to widget mode under a full display.
            QVERIFY(!window.tools()->widgetModeButton()->isEnabled());

            bar->findChild<QToolButton *>(QStringLiteral("closeBtn"))->click();
            QCOMPARE(window.currentSplitMode(), from);
            QCOMPARE(full.last().at(0).toBool(), false);
            QCOMPARE(window.mediaKind(), int(Velora::NothingShown));
            QVERIFY(window.tools()->widgetModeButton()->isEnabled());
            QVERIFY(kivoscope->view()->isVisible());
        }

        // From a split with a media pane the picture goes into the pane; the mode stays.
        for (int mode : {3, 4, 5, 6}) {
            full.clear();
            QMetaObject::invokeMethod(&window,
                                      QList<const char *>{"becomeDMTwoSplit", "becomeDThreeSplit",
                                                          "becomeWThreeSplit", "becomeMThreeSplit"}
                                              .at(mode - 3));
            window.imgRequestToShow(picture);
            QCOMPARE(window.currentSplitMode(), mode);
            QVERIFY(full.isEmpty());
            QTRY_VERIFY(window.splitImageView()->hasImage());
            QCOMPARE(window.mediaKind(), int(Velora::ImageShown));
        }
        webCam->release();
        kivoscope->release();
    }

    void unreadablePictureReturnsToThePreviousModeAfterOneMessage()
    {
        Velora window;
        settle(window);
        const QString fake = media.filePath(QStringLiteral("notes.jpg"));
        QFile text(fake);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("These are my lesson notes, not a picture.\n");
        text.close();
        QStringList asked;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            asked << question.text;
            return QMessageBox::Ok;
        });

        window.becomePipSplit();
        window.imgRequestToShow(fake);
        QCOMPARE(asked, QStringList{QStringLiteral("Invalid format.")});
        QCOMPARE(window.currentSplitMode(), 1);
        QCOMPARE(window.mediaKind(), int(Velora::NothingShown));
        QVERIFY(!window.fullImageView()->isVisible());
    }

    void dropsTakeExactlyOnePictureOutsideTheLibraryPanel()
    {
        Velora window;
        settle(window);
        auto *library = new QFrame;
        library->resize(300, 200);
        window.installMediaLibraryPanel(library);
        const QPoint middle = window.centralWidget()->geometry().center();
        const QUrl photo = QUrl::fromLocalFile(picture);

        QVERIFY(!drop(window, {photo, photo}, middle));
        QVERIFY(!drop(window, {QUrl::fromLocalFile(media.filePath("anim.gif"))}, middle));
        // Videos wait for the video player.
        QVERIFY(!drop(window, {QUrl::fromLocalFile(media.filePath("lesson.avi"))}, middle));
        QCOMPARE(window.currentSplitMode(), 0);

        window.findChild<QPushButton *>(QStringLiteral("mediaLibHandle"))->click();
        QTRY_COMPARE(library->pos(), QPoint(0, 0));
        const QPoint overLibrary = library->mapTo(&window, QPoint(20, 20));
        QVERIFY(!drop(window, {photo}, overLibrary));
        QCOMPARE(window.currentSplitMode(), 0);

        // The upper-case name is a picture all the same.
        QVERIFY(drop(window, {photo}, middle));
        QCOMPARE(window.currentSplitMode(), 7);
        QTRY_VERIFY(window.fullImageView()->hasImage());
        QCOMPARE(window.fullImageView()->path(), picture);
    }

    void escapeLeavesFullScreen()
    {
        Velora window;
        settle(window);
        window.imgRequestToShow(picture);
        auto *fullScreen = window.findChild<ImageControlPanel *>()->findChild<QToolButton *>(
                QStringLiteral("fullScreenBtn"));
        fullScreen->click();
        QVERIFY(window.isImageFullScreen());
        QTRY_VERIFY(window.isFullScreen());
        QVERIFY(!window.menuBar()->isVisible());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isImageFullScreen());
        QVERIFY(!fullScreen->isChecked());
        QVERIFY(window.menuBar()->isVisible());

        // Moving the window is announced with its frame's corner.
        QSignalSpy moved(&window, &Velora::veloraMoved);
        window.showNormal();
        window.move(40, 30);
        QTRY_VERIFY(!moved.isEmpty());
        QCOMPARE(moved.last().at(0).toPoint(), window.frameGeometry().topLeft());
    }

    void widgetModeRoundTrip()
    {
        Velora window;
        settle(window);
        window.becomeDWTwoSplit();
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        WebCamIntf *webCam = WebCamIntf::getInstance();
        WidgetModeToolBar *bar = window.widgetModeBar();

        window.tools()->widgetModeButton()->click();
        QVERIFY(window.isInWidgetMode());
        QVERIFY(!window.isVisible());
        QVERIFY(bar->isVisible());
        QVERIFY(bar->cameraContainer()->isAncestorOf(kivoscope->view()));
        QVERIFY(kivoscope->view()->isVisible());
        QVERIFY(!webCam->isDisplayOn());
        const QRect available = window.screen()->availableGeometry();
        QCOMPARE(bar->frameGeometry().right(), available.right());

        bar->closeButton()->click();
        QVERIFY(!window.isInWidgetMode());
        QVERIFY(!bar->isVisible());
        QVERIFY(window.isVisible());
        QCOMPARE(kivoscope->view()->parentWidget(), window.centralWidget());
        QCOMPARE(window.currentSplitMode(), 2);
        QVERIFY(webCam->isDisplayOn());
        QTRY_VERIFY(kivoscope->view()->width() > 0
                    && kivoscope->view()->width() + webCam->mainView()->width()
                            == window.centralWidget()->width());
        webCam->release();
        kivoscope->release();
    }

    void firstLaunchShowsThePanelsThenHidesThem()
    {
        setLaunchFlags(false, false, false);
        {
            Velora window;
            settle(window);
            QVERIFY(window.isToolsPanelShown());
            QTRY_COMPARE(window.tools()->pos().y(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(!window.isToolsPanelShown(), 7000);
            QTRY_COMPARE(window.tools()->pos().y(), -window.tools()->height());
            auto *handle = window.findChild<QPushButton *>(QStringLiteral("toolsHandle"));
            QVERIFY(handle->isVisible());
            QCOMPARE(handle->size(), QSize(130, 25));

            // The presenter brings the strip back and leaves it open.
            handle->click();
            QVERIFY(window.isToolsPanelShown());
            QTRY_COMPARE(window.tools()->pos().y(), 0);
            QVERIFY(!handle->isVisible());
            QVERIFY(window.close());
            QVERIFY(window.lastExitConfirmed());
        }
        SettingIntf *settings = SettingIntf::getInstance();
        QCOMPARE(settings->value(QStringLiteral("NOT_FIRST_TIME_LAUNCH")).toBool(), true);
        QCOMPARE(settings->value(QStringLiteral("TOOLS_PANEL_STATUS")).toBool(), true);
        QCOMPARE(settings->value(QStringLiteral("MEDIA_LIB_STATUS")).toBool(), false);
        settings->setValue(QStringLiteral("MEDIA_LIB_STATUS"), true);
        settings->release();

        // The next start restores the panels at once, without the introduction.
        Velora again;
        settle(again);
        auto *library = new QFrame;
        library->resize(280, 100);
        again.installMediaLibraryPanel(library);
        QVERIFY(again.isToolsPanelShown());
        QCOMPARE(again.tools()->pos().y(), 0);
        QVERIFY(again.isMediaLibShown());
        QCOMPARE(library->pos(), QPoint(0, 0));
        QCOMPARE(library->height(), again.centralWidget()->height());
        QTest::qWait(5500);
        QVERIFY(again.isToolsPanelShown());
    }

    void cancelledExitQuestionWritesNothing()
    {
        setLaunchFlags(false, false, false);
        SettingIntf *settings = SettingIntf::getInstance();
        Velora window;
        settle(window);
        // A running time lapse makes the capture component ask before Velora may go.
        CaptureIntf *capture = CaptureIntf::getInstance();
        LongTimers::setMillisecondsPerSecond(1000);
        QCOMPARE(capture->setTimeLapseParams(3600, 600), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        QStringList asked;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            asked << question.text;
            return QMessageBox::No;
        });
        QVERIFY(!window.close());
        QCOMPARE(asked, QStringList{QStringLiteral("Do you really want to exit Velora?")});
        QVERIFY(window.isVisible());
        QVERIFY(!window.lastExitConfirmed());
        QCOMPARE(settings->value(QStringLiteral("NOT_FIRST_TIME_LAUNCH")).toBool(), false);

        MessageBox::setAnswerer([](const MessageBox::Question &) { return QMessageBox::Yes; });
        QVERIFY(window.close());
        QCOMPARE(settings->value(QStringLiteral("NOT_FIRST_TIME_LAUNCH")).toBool(), true);
        QCOMPARE(capture->getActionStatus(), 7u);
        capture->release();
        settings->release();
    }

    void picturesFromTheToolStripAndTheWidgetModeBar()
    {
        Velora window;
        settle(window);
        CaptureIntf *capture = CaptureIntf::getInstance();
        QSignalSpy pictures(capture, &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktops(capture, &CaptureIntf::fullScreenImageCaptured);

        auto *strip = window.tools();
        window.findChild<QPushButton *>(QStringLiteral("toolsHandle"))->click();
        strip->findChild<QToolButton *>(QStringLiteral("captureBtn"))->click();
        auto *panel = strip->findChild<QFrame *>(QStringLiteral("CaptureSeletionPanel"));
        QVERIFY(panel && panel->isVisible());
        panel->findChild<QAbstractButton *>(QStringLiteral("docCamCaptureBtn"))->click();
        QCOMPARE(pictures.size(), 1);

        // Opening the time-lapse settings grows the panel, and the strip with it.
        const int closedHeight = strip->height();
        panel->findChild<QAbstractButton *>(QStringLiteral("timeLapesCaptureBtn"))->click();
        QTRY_VERIFY(strip->height() > closedHeight);
        QCOMPARE(strip->size(), strip->sizeHint());
        QVERIFY(strip->rect().contains(
                QRect(panel->findChild<QWidget *>(QStringLiteral("intervalWidget"))
                              ->mapTo(strip, QPoint(0, 0)),
                      panel->findChild<QWidget *>(QStringLiteral("intervalWidget"))->size())));
        panel->findChild<QAbstractButton *>(QStringLiteral("timeLapesCaptureBtn"))->click();
        QTRY_COMPARE(strip->height(), closedHeight);

        window.becomeWidgetMode();
        WidgetModeToolBar *bar = window.widgetModeBar();
        QTRY_VERIFY(bar->docCamCaptureButton()->isEnabled());
        bar->docCamCaptureButton()->click();
        bar->screenCaptureButton()->click();
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(desktops.size(), 1);
        for (const auto &signal : {pictures.at(0), pictures.at(1), desktops.at(0)})
            QVERIFY(QFileInfo::exists(signal.at(0).toString()));
        window.leaveWidgetMode();
        capture->release();
    }

    void annotationDrawsOnTheShownPicture()
    {
        Velora window;
        settle(window);
        CanvasView *cameraCanvas = window.cameraCanvas();
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        QVERIFY(cameraCanvas && cameraCanvas->isVisible());
        QCOMPARE(cameraCanvas->parentWidget(), kivoscope->view());
        QTRY_COMPARE(cameraCanvas->geometry(), kivoscope->view()->rect());

        // The annotation panel of the strip chooses the pen; the stroke lands on the camera.
        window.findChild<QPushButton *>(QStringLiteral("toolsHandle"))->click();
        window.tools()->findChild<QToolButton *>(QStringLiteral("annoBtn"))->click();
        auto *freehand = window.tools()->findChild<QToolButton *>(QStringLiteral("freehandBtn"));
        QVERIFY(freehand && freehand->isVisible());
        freehand->click();
        drawStroke(cameraCanvas, QPoint(40, 40), QPoint(200, 120));
        QCOMPARE(cameraCanvas->scene()->items().size(), 1);

        // A picture in full display has a canvas of its own, active while it is shown.
        window.imgRequestToShow(picture);
        QTRY_VERIFY(window.fullImageView()->isVisible());
        CanvasView *pictureCanvas = window.pictureCanvas();
        QTRY_VERIFY(pictureCanvas->isVisible());
        AnnotationIntf *annotation = AnnotationIntf::getInstance();
        QCOMPARE(annotation->activeCanvas(), pictureCanvas);
        drawStroke(pictureCanvas, QPoint(10, 10), QPoint(60, 60));
        QCOMPARE(pictureCanvas->scene()->items().size(), 1);
        window.leaveImageFullDisplaySplit();
        QCOMPARE(annotation->activeCanvas(), cameraCanvas);

        // "Clear all" of the strip empties the active canvas only.
        window.tools()->findChild<QToolButton *>(QStringLiteral("clearAllBtn"))->click();
        QVERIFY(cameraCanvas->scene()->items().isEmpty());
        QCOMPARE(pictureCanvas->scene()->items().size(), 1);

        // Drawings turn and mirror with the camera picture.
        QSignalSpy turned(kivoscope, &KivoscopeIntf::rotationChanged);
        QCOMPARE(kivoscope->rotate(), Result::Success);
        QTRY_COMPARE(turned.size(), 1);
        QCOMPARE(cameraCanvas->rotation(), turned.at(0).at(0).toUInt() % 360);
        QVERIFY(cameraCanvas->rotation() != 0);
        QSignalSpy mirrored(kivoscope, &KivoscopeIntf::mirrorChanged);
        QCOMPARE(kivoscope->toggleMirror(), Result::Success);
        QTRY_COMPARE(mirrored.size(), 1);
        QCOMPARE(cameraCanvas->isMirrored(), mirrored.at(0).at(0).toBool());
        QSignalSpy zoomed(kivoscope, &KivoscopeIntf::zoomRatioChanged);
        QCOMPARE(kivoscope->zoomIn(), Result::Success);
        QTRY_COMPARE(zoomed.size(), 1);
        QVERIFY(zoomed.at(0).at(0).toDouble() > 1.0);
        QCOMPARE(cameraCanvas->scaleFactor(), zoomed.at(0).at(0).toDouble());

        // No camera, nothing to draw on.
        QVERIFY(SimulatedCameras::remove(documentCameraKey));
        QTRY_VERIFY_WITH_TIMEOUT(!cameraCanvas->isVisibleTo(kivoscope->view()), 5000);
        replugDocumentCamera();
        QTRY_VERIFY_WITH_TIMEOUT(cameraCanvas->isVisibleTo(kivoscope->view()), 5000);
        annotation->release();
        kivoscope->release();
    }

    void gradeCamLendsTheCameraAndTakesItBack()
    {
        Velora window;
        settle(window);
        QAction *action = window.gradeCamAction();
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        QVERIFY(action->isEnabled());

        QList<QMessageBox::StandardButton> answers = {QMessageBox::Cancel, QMessageBox::Yes};
        MessageBox::setAnswerer([&](const MessageBox::Question &) { return answers.takeFirst(); });
        action->trigger();
        QCOMPARE(action->text(), QStringLiteral("GradeCam"));
        QVERIFY(!action->isChecked());
        QVERIFY(browser.opened.isEmpty());

        action->trigger();
        QCOMPARE(action->text(), QStringLiteral("Reconnect"));
        QVERIFY(action->isChecked());
        QCOMPARE(browser.opened.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!kivoscope->isConnected(), 5000);

        action->trigger();
        QCOMPARE(action->text(), QStringLiteral("GradeCam"));
        QVERIFY(!action->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);

        // Without a camera there is nothing to lend.
        QVERIFY(SimulatedCameras::remove(documentCameraKey));
        QTRY_VERIFY_WITH_TIMEOUT(!action->isEnabled(), 5000);
        replugDocumentCamera();
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), 5000);
        kivoscope->release();
    }

    void trayCounterFollowsTheRecording()
    {
        Velora window;
        settle(window);
        QSystemTrayIcon *tray = window.recordingTrayIcon();
        QVERIFY(!tray->isVisible());
        QVERIFY(!tray->icon().pixmap(16).isNull());
        window.recordingStatusChangedUI(2 | 4);
        window.startRecording();
        QVERIFY(tray->isVisible());
        for (int i = 0; i < 3723; ++i)
            window.recordingCounterCount();
        QCOMPARE(window.recordingCounterAction()->text(), QStringLiteral("Recording 01:02:03"));

        // Paused is shown checked exactly when the recording is not running.
        auto *pause = tray->contextMenu()->actions().at(3);
        QCOMPARE(pause->text(), QStringLiteral("Pause"));
        window.recordingStatusChangedUI(2);
        QVERIFY(pause->isChecked());
        window.recordingStatusChangedUI(2 | 4);
        QVERIFY(!pause->isChecked());

        window.stopRecord();
        QVERIFY(!tray->isVisible());
        QCOMPARE(window.recordingCounterAction()->text(), QStringLiteral("Recording 00:00:00"));

        // A new screen resolution ends the recording of the old one and maximizes again.
        window.startRecording();
        QVERIFY(tray->isVisible());
        QVERIFY(QMetaObject::invokeMethod(&window, "getResolutionChangedToResize", Q_ARG(int, 0)));
        QVERIFY(!tray->isVisible());
        QTRY_VERIFY(window.isMaximized());
    }
};

VELORA_TEST_MAIN(TestVelora)
#include "tst_velora.moc"
