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
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

/// The button of the split panel that enters `mode` (0 to 6).
QToolButton *splitButton(Velora &window, int mode)
{
    static const char *const names[]
            = {"oneSplitBtn",    "pipSplitBtn",    "dwSplitBtn",    "dmSplitBtn",
               "dThreeSplitBtn", "wThreeSplitBtn", "mThreeSplitBtn"};
    return window.tools()->splitPanel()->findChild<QToolButton *>(names[mode]);
}

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
        QImage image(2000, 1500, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(media.filePath(QStringLiteral("full.png")), "PNG"));
        picture = media.filePath(QStringLiteral("PHOTO.JPG"));
        QVERIFY(image.scaled(800, 600).save(picture, "JPEG"));
        // The first half of a 3-megapixel picture, as a copy cut short leaves it.
        QFile whole(media.filePath(QStringLiteral("full.png")));
        QFile damaged(media.filePath(QStringLiteral("damaged.png")));
        QVERIFY(whole.open(QIODevice::ReadOnly) && damaged.open(QIODevice::WriteOnly));
        damaged.write(whole.read(whole.size() / 2));
        QFile notes(media.filePath(QStringLiteral("notes.jpg")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("These are my lesson notes, not a picture.\n");
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

        // The views of each mode: d document camera, w webcam, m media, p the corner frame.
        const QStringList expected = {"d", "dwp", "dw", "dm", "dwm", "dwm", "dwm"};
        const QList<int> sources = {1, 1, 1, 1, 1, 4, 2};
        for (int mode = 6; mode >= 0; --mode) {
            splitButton(window, mode)->click();
            QCOMPARE(window.currentSplitMode(), mode);
            QCOMPARE(modes.last().at(0).toInt(), mode);
            QCOMPARE(window.mainSource(), sources.at(mode));
            const QString want = expected.at(mode);
            QCOMPARE(kivoscope->view()->isVisible(), want.contains('d'));
            QCOMPARE(webCam->isDisplayOn(), want.contains('w'));
            QCOMPARE(window.splitImageView()->isVisible(), want.contains('m'));
            QCOMPARE(window.pictureInPicture()->isVisible(), want.contains('p'));

            // Side by side views tile the area; the frame of mode 1 lies over the camera.
            QList<QRect> tiles = {inCentral(kivoscope->view(), central)};
            if (want == "dw" || want == "dwm")
                tiles << inCentral(webCam->mainView(), central);
            if (want.contains('m'))
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

        // A resize lays everything out again; a move is announced with the frame's corner.
        window.becomeDWTwoSplit();
        QSignalSpy moved(&window, &Velora::veloraMoved);
        window.showNormal();
        window.resize(900, 500);
        window.move(40, 30);
        QTRY_COMPARE(kivoscope->view()->width() + webCam->mainView()->width(), central->width());
        QTRY_VERIFY(!moved.isEmpty());
        QCOMPARE(moved.last().at(0).toPoint(), window.frameGeometry().topLeft());
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

    void picturesShowAndLeave_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("file");
        for (int from = 0; from <= 6; ++from)
            QTest::addRow("picture from %d", from) << from << QStringLiteral("PHOTO.JPG");
        QTest::newRow("text file from 1") << 1 << QStringLiteral("notes.jpg");
        // Its header is whole, so the failure is found by the decode after the drop was taken.
        QTest::newRow("damaged large picture from 1") << 1 << QStringLiteral("damaged.png");
        QTest::newRow("damaged large picture from 6") << 6 << QStringLiteral("damaged.png");
    }

    void picturesShowAndLeave()
    {
        QFETCH(int, from);
        QFETCH(QString, file);
        Velora window;
        settle(window);
        QStringList asked;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            asked << question.text;
            return QMessageBox::Ok;
        });
        splitButton(window, from)->click();
        QSignalSpy full(&window, &Velora::isFullDisplayMode);
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        WebCamIntf *webCam = WebCamIntf::getInstance();
        // A failed check returns early; the components must not outlive the window's views.
        const auto release = qScopeGuard([&] {
            webCam->release();
            kivoscope->release();
        });
        const bool wasWebCamOn = webCam->isDisplayOn();
        auto *bar = window.findChild<ImageControlPanel *>();
        auto *close = bar->findChild<QToolButton *>(QStringLiteral("closeBtn"));
        auto *fullScreen = bar->findChild<QToolButton *>(QStringLiteral("fullScreenBtn"));
        // Dropped pictures are shown as asked-for ones are; an upper-case name is one too.
        QVERIFY(drop(window, {QUrl::fromLocalFile(media.filePath(file))},
                     window.centralWidget()->geometry().center()));
        const bool fullDisplay = from <= 2;
        ImageWidget *view = fullDisplay ? window.fullImageView() : window.splitImageView();

        if (file != QLatin1String("PHOTO.JPG")) {
            // One message, then the mode from before with nothing shown and every control on.
            QTRY_COMPARE(asked, QStringList{QStringLiteral("Invalid format.")});
            QCOMPARE(window.currentSplitMode(), from);
            QCOMPARE(window.mediaKind(), int(Velora::NothingShown));
            QVERIFY(!view->hasImage());
            QVERIFY(!window.fullImageView()->isVisible());
            QVERIFY(!bar->isVisible());
            QVERIFY(window.tools()->widgetModeButton()->isEnabled());
            QVERIFY(window.tools()->findChild<QToolButton *>("splitBtn")->isEnabled());
            QCOMPARE(webCam->isDisplayOn(), wasWebCamOn);
            QVERIFY(kivoscope->view()->isVisible());
        } else if (!fullDisplay) {
            // A split with a media pane takes the picture into the pane; the mode stays.
            QCOMPARE(window.currentSplitMode(), from);
            QVERIFY(full.isEmpty());
            QTRY_VERIFY(view->hasImage() && view->isVisible());
            QCOMPARE(window.mediaKind(), int(Velora::ImageShown));
            QVERIFY(bar->isVisible() && !close->isVisible());
        } else {
            QCOMPARE(window.currentSplitMode(), 7);
            QCOMPARE(window.previousMode(), from);
            QCOMPARE(window.mainSource(), 2);
            QCOMPARE(full.size(), 1);
            QCOMPARE(full.last().at(0).toBool(), true);
            QVERIFY(!kivoscope->view()->isVisible());
            QVERIFY(!webCam->isDisplayOn());
            QTRY_VERIFY(view->hasImage() && view->isVisible());
            QCOMPARE(view->path(), media.filePath(file));
            // The picture keeps its 4:3 shape inside the area.
            QTRY_COMPARE(view->width() * 3, view->height() * 4);
            QVERIFY(bar->isVisible() && close->isVisible());
            // The tool strip cannot switch layouts or go to widget mode under a full display.
            QVERIFY(!window.tools()->widgetModeButton()->isEnabled());

            // Full screen leaves only the picture; Escape leaves it through the bar's button.
            fullScreen->click();
            QVERIFY(window.isImageFullScreen());
            QTRY_VERIFY(window.isFullScreen());
            QVERIFY(!window.menuBar()->isVisible());
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(!window.isImageFullScreen());
            QVERIFY(!fullScreen->isChecked());
            QVERIFY(window.menuBar()->isVisible());

            close->click();
            QCOMPARE(window.currentSplitMode(), from);
            QCOMPARE(full.last().at(0).toBool(), false);
            QCOMPARE(window.mediaKind(), int(Velora::NothingShown));
            QVERIFY(window.tools()->widgetModeButton()->isEnabled());
            QVERIFY(kivoscope->view()->isVisible());
        }
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
        window.findChild<QPushButton *>(QStringLiteral("mediaLibHandle"))->click();
        QTRY_COMPARE(library->pos(), QPoint(0, 0));
        QVERIFY(!drop(window, {photo}, library->mapTo(&window, QPoint(20, 20))));
        QCOMPARE(window.currentSplitMode(), 0);
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
