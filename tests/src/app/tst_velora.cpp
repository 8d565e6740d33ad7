#include <AnnotationIntf.h>
#include <CameraWidget.h>
#include <CanvasView.h>
#include <CaptureIntf.h>
#include <DisplayLayout.h>
#include <ImageControlPanel.h>
#include <ImageWidget.h>
#include <KivoscopeIntf.h>
#include <LongTimers.h>
#include <MediaImpl.h>
#include <MediaInfoModifiedPanel.h>
#include <MediaInfoStore.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibraryPanel.h>
#include <MessageBox.h>
#include <PipView.h>
#include <RecordingControlBar.h>
#include <SettingIntf.h>
#include <ShownMediaRecord.h>
#include <SimulatedCameras.h>
#include <SplitScreenPanel.h>
#include <ToolsPanel.h>
#include <Velora.h>
#include <VeloraTest.h>
#include <VideoControlPanel.h>
#include <VideoCtrlSlider.h>
#include <VideoIntf.h>
#include <WebCamIntf.h>
#include <WidgetModeToolBar.h>

#include <QAction>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>

namespace {

/// A shared component, released when the case ends, however it ends: a component that outlived
/// a failed case would hold views of a window already gone.
template<class Component> auto take()
{
    return std::unique_ptr<Component, void (*)(Component *)>(
            Component::getInstance(), [](Component *component) { component->release(); });
}

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

/// The file the window's video plays, empty when none plays; the media library's record of the
/// file in use must say the same.
QString playingVideo(Velora &window)
{
    const bool playing = window.videoPlayer()->currentActionStatus() & VideoIntf::CanPause;
    const QString played = playing ? window.videoPlayer()->attachedPath() : QString();
    const QString inUse = take<MediaInfoStore>()->shownMedia()->playingVideo();
    return played == inUse ? played : QStringLiteral("player %1, library %2").arg(played, inUse);
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

class TestVelora : public QObject
{
    Q_OBJECT

public:
    /// Catches the urls opened through the desktop instead of starting a browser.
    Q_INVOKABLE void openUrl(const QUrl &url) { opened.append(url); }

private:
    QTemporaryDir media;
    QString picture;
    QList<QUrl> opened;
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
        const auto kivoscope = take<KivoscopeIntf>();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);
    }

    static void setLaunchFlags(bool notFirst, bool tools, bool mediaLib)
    {
        const auto settings = take<SettingIntf>();
        settings->setValue(QStringLiteral("NOT_FIRST_TIME_LAUNCH"), notFirst);
        settings->setValue(QStringLiteral("TOOLS_PANEL_STATUS"), tools);
        settings->setValue(QStringLiteral("MEDIA_LIB_STATUS"), mediaLib);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QImage image(2000, 1500, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        picture = media.filePath(QStringLiteral("PHOTO.JPG"));
        QVERIFY(image.scaled(800, 600).save(picture, "JPEG"));
        // The first half of a 3-megapixel picture, as a copy cut short leaves it.
        const QString damaged = media.filePath(QStringLiteral("damaged.png"));
        QVERIFY(image.save(damaged, "PNG"));
        QVERIFY(QFile::resize(damaged, QFileInfo(damaged).size() / 2));
        QFile notes(media.filePath(QStringLiteral("notes.jpg")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("These are my lesson notes, not a picture.\n");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void init()
    {
        // Most cases start as a later launch with both panels away.
        setLaunchFlags(true, false, false);
    }

    void cleanup() { MessageBox::setAnswerer({}); }

    void modesPlaceTheirViews()
    {
        Velora window;
        settle(window);
        QWidget *central = window.centralWidget();
        const auto kivoscope = take<KivoscopeIntf>();
        const auto webCam = take<WebCamIntf>();
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

            // Each view where the layout puts it; the picture keeps its shape inside its pane.
            const DisplayLayout layout = DisplayLayout::compute(
                    mode, central->rect(), window.pictureInPicture()->cornerIndex());
            QCOMPARE(inCentral(kivoscope->view(), central), layout.docCam);
            if (mode != 1 && want.contains('w'))
                QCOMPARE(inCentral(webCam->mainView(), central), layout.webCam);
            if (want.contains('m'))
                QVERIFY(layout.media.contains(inCentral(window.splitImageView(), central)));
            if (mode == 1) {
                // The webcam's picture is in the frame; its button walks the frame round.
                PipView *pip = window.pictureInPicture();
                QCOMPARE(webCam->mainView()->parentWidget(), pip);
                for (int corner : {1, 2, 3, 0}) {
                    pip->moveButton()->click();
                    QCOMPARE(pip->cornerIndex(), corner);
                    QCOMPARE(pip->geometry(),
                             DisplayLayout::compute(1, central->rect(), corner).pip);
                }
            }
        }

        // A resize lays everything out again; a move is announced with the frame's corner.
        window.becomeDWTwoSplit();
        QSignalSpy moved(&window, &Velora::veloraMoved);
        window.showNormal();
        window.resize(900, 500);
        window.move(40, 30);
        QTRY_COMPARE(kivoscope->view()->width() + webCam->mainView()->width(), central->width());
        QCOMPARE(webCam->mainView()->parentWidget(), central);
        QTRY_VERIFY(!moved.isEmpty());
        QCOMPARE(moved.last().at(0).toPoint(), window.frameGeometry().topLeft());
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
        const auto kivoscope = take<KivoscopeIntf>();
        const auto webCam = take<WebCamIntf>();
        auto *bar = window.findChild<ImageControlPanel *>();
        auto *close = bar->findChild<QToolButton *>(QStringLiteral("closeBtn"));
        auto *fullScreen = bar->findChild<QToolButton *>(QStringLiteral("fullScreenBtn"));
        // Dropped pictures are shown as asked-for ones are; an upper-case name is one too.
        QVERIFY(drop(window, {QUrl::fromLocalFile(media.filePath(file))},
                     window.centralWidget()->geometry().center()));
        const bool fullDisplay = from <= 2;
        ImageWidget *view = fullDisplay ? window.fullImageView() : window.splitImageView();

        if (file != QLatin1String("PHOTO.JPG")) {
            QTRY_COMPARE(asked, QStringList{QStringLiteral("Invalid format.")});
        } else if (!fullDisplay) {
            // A split with a media pane takes the picture into the pane; the mode stays.
            QCOMPARE(window.currentSplitMode(), from);
            QVERIFY(full.isEmpty());
            QTRY_VERIFY(view->hasImage() && view->isVisible());
            QCOMPARE(window.mediaKind(), int(Velora::ImageShown));
            QVERIFY(bar->isVisible() && !close->isVisible());
            return;
        } else {
            QCOMPARE(window.currentSplitMode(), 7);
            QCOMPARE(window.previousMode(), from);
            QCOMPARE(window.mainSource(), 2);
            QCOMPARE(full.size(), 1);
            QCOMPARE(full.last().at(0).toBool(), true);
            QVERIFY(!kivoscope->view()->isVisible());
            QVERIFY(!webCam->isDisplayOn());
            QTRY_VERIFY(view->hasImage() && view->isVisible());
            // The picture keeps its 4:3 shape inside the area.
            QTRY_COMPARE(view->width() * 3, view->height() * 4);
            QVERIFY(bar->isVisible() && close->isVisible());
            // The tool strip cannot switch layouts or go to widget mode under a full display.
            QVERIFY(!window.tools()->widgetModeButton()->isEnabled());
            QVERIFY(!window.tools()->findChild<QToolButton *>("splitBtn")->isEnabled());

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
            QCOMPARE(full.last().at(0).toBool(), false);
        }
        // Closed, or refused after one message: the mode from before, nothing shown, every
        // control working.
        QCOMPARE(window.currentSplitMode(), from);
        QCOMPARE(window.mediaKind(), int(Velora::NothingShown));
        QVERIFY(!window.fullImageView()->isVisible());
        QVERIFY(!bar->isVisible());
        QVERIFY(window.tools()->widgetModeButton()->isEnabled());
        QVERIFY(window.tools()->findChild<QToolButton *>("splitBtn")->isEnabled());
        QVERIFY(kivoscope->view()->isVisible());
    }

    void picturesAndWidgetModeRoundTrip()
    {
        Velora window;
        settle(window);
        window.becomeDWTwoSplit();
        const auto kivoscope = take<KivoscopeIntf>();
        const auto webCam = take<WebCamIntf>();
        const auto capture = take<CaptureIntf>();
        QSignalSpy pictures(capture.get(), &CaptureIntf::docCamImageCaptured);
        QSignalSpy desktops(capture.get(), &CaptureIntf::fullScreenImageCaptured);

        // A picture from the strip; its time-lapse settings grow the strip while they are open.
        auto *strip = window.tools();
        window.findChild<QPushButton *>(QStringLiteral("toolsHandle"))->click();
        strip->findChild<QToolButton *>(QStringLiteral("captureBtn"))->click();
        auto *panel = strip->findChild<QFrame *>(QStringLiteral("CaptureSeletionPanel"));
        QVERIFY(panel && panel->isVisible());
        panel->findChild<QAbstractButton *>(QStringLiteral("docCamCaptureBtn"))->click();
        QCOMPARE(pictures.size(), 1);
        const int closedHeight = strip->height();
        auto *timeLapse
                = panel->findChild<QAbstractButton *>(QStringLiteral("timeLapesCaptureBtn"));
        timeLapse->click();
        QTRY_VERIFY(strip->height() > closedHeight);
        auto *interval = panel->findChild<QWidget *>(QStringLiteral("intervalWidget"));
        QVERIFY(strip->rect().contains(QRect(interval->mapTo(strip, QPoint()), interval->size())));
        timeLapse->click();
        QTRY_COMPARE(strip->height(), closedHeight);

        WidgetModeToolBar *bar = window.widgetModeBar();
        strip->widgetModeButton()->click();
        QVERIFY(window.isInWidgetMode());
        QVERIFY(!window.isVisible());
        QVERIFY(bar->isVisible());
        QVERIFY(kivoscope->view()->isVisible());
        QVERIFY(!webCam->isDisplayOn());
        QCOMPARE(bar->frameGeometry().right(), window.screen()->availableGeometry().right());
        // Pictures from the bar.
        QTRY_VERIFY(bar->docCamCaptureButton()->isEnabled());
        bar->docCamCaptureButton()->click();
        bar->screenCaptureButton()->click();
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(desktops.size(), 1);
        for (const auto &signal : {pictures.at(0), pictures.at(1), desktops.at(0)})
            QVERIFY(QFileInfo::exists(signal.at(0).toString()));

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
    }

    void panelsAtFirstAndLaterLaunchesAndExit()
    {
        setLaunchFlags(false, false, false);
        const auto settings = take<SettingIntf>();
        {
            Velora window;
            settle(window);
            QVERIFY(window.isToolsPanelShown());
            QTRY_COMPARE(window.tools()->pos().y(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(!window.isToolsPanelShown(), 7000);
            QTRY_COMPARE(window.tools()->pos().y(), -window.tools()->height());
            auto *handle = window.findChild<QPushButton *>(QStringLiteral("toolsHandle"));
            QVERIFY(handle->isVisible());
            // The library went with the strip; its handle brings it back, its button away.
            auto *libraryHandle = window.findChild<QPushButton *>(QStringLiteral("mediaLibHandle"));
            QVERIFY(!window.isMediaLibShown() && libraryHandle->isVisible());
            libraryHandle->click();
            QVERIFY(window.isMediaLibShown());
            // Over the black centre, the folder's path must still be readable.
            auto *library = window.findChild<MediaLibraryPanel *>();
            const auto *path = library->findChild<QLabel *>(QStringLiteral("pathLabel"));
            QVERIFY(!path->text().isEmpty());
            QVERIFY(qAbs(qGray(path->palette().color(QPalette::WindowText).rgb())
                         - qGray(library->palette().color(QPalette::Window).rgb()))
                    > 100);
            library->findChild<QToolButton *>("closeBtn")->click();
            QVERIFY(!window.isMediaLibShown() && libraryHandle->isVisible());

            // The presenter brings the strip back and leaves it open.
            handle->click();
            QVERIFY(window.isToolsPanelShown());
            QTRY_COMPARE(window.tools()->pos().y(), 0);
            QVERIFY(!handle->isVisible());

            // A running time lapse makes the capture component ask before Velora may go; the
            // first answer keeps the window and writes nothing.
            const auto capture = take<CaptureIntf>();
            LongTimers::setMillisecondsPerSecond(1000);
            QCOMPARE(capture->setTimeLapseParams(3600, 600), 0);
            QCOMPARE(capture->startTimeLapseCapture(), 0);
            QStringList asked;
            QList<QMessageBox::StandardButton> answers = {QMessageBox::No, QMessageBox::Yes};
            MessageBox::setAnswerer([&](const MessageBox::Question &question) {
                asked << question.text;
                return answers.takeFirst();
            });
            QVERIFY(!window.close());
            QCOMPARE(asked, QStringList{QStringLiteral("Do you really want to exit Velora?")});
            QVERIFY(window.isVisible());
            QVERIFY(!window.lastExitConfirmed());
            QCOMPARE(settings->value(QStringLiteral("NOT_FIRST_TIME_LAUNCH")).toBool(), false);
            QVERIFY(window.close());
            QVERIFY(window.lastExitConfirmed());
            QCOMPARE(capture->getActionStatus(), 7u);
        }
        QCOMPARE(settings->value(QStringLiteral("NOT_FIRST_TIME_LAUNCH")).toBool(), true);
        QCOMPARE(settings->value(QStringLiteral("TOOLS_PANEL_STATUS")).toBool(), true);
        QCOMPARE(settings->value(QStringLiteral("MEDIA_LIB_STATUS")).toBool(), false);
        settings->setValue(QStringLiteral("MEDIA_LIB_STATUS"), true);

        // The next start restores the panels at once, without the introduction.
        Velora again;
        settle(again);
        auto *library = again.findChild<MediaLibraryPanel *>();
        QVERIFY(again.isToolsPanelShown());
        QCOMPARE(again.tools()->pos().y(), 0);
        QVERIFY(again.isMediaLibShown());
        QCOMPARE(library->pos(), QPoint(0, 0));
        QCOMPARE(library->height(), again.centralWidget()->height());
        // Drops take exactly one picture, and none over the library panel.
        const QPoint middle = again.centralWidget()->geometry().center();
        const QUrl photo = QUrl::fromLocalFile(picture);
        QVERIFY(!drop(again, {photo, photo}, middle));
        QVERIFY(!drop(again, {photo}, library->mapTo(&again, QPoint(20, 20))));
        QCOMPARE(again.currentSplitMode(), 0);
        QTest::qWait(5500);
        QVERIFY(again.isToolsPanelShown());
    }

    void mediaLibraryShowsWhatItOpensAndFinishedRecordings()
    {
        Velora window;
        settle(window);
        window.findChild<QPushButton *>(QStringLiteral("mediaLibHandle"))->click();
        auto *library = window.findChild<MediaLibraryPanel *>();
        const QDir folder = library->currentFolder();
        const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
        const QString video = folder.filePath(QStringLiteral("lesson.avi"));
        QVERIFY(QFile::copy(picture, photo));
        QVERIFY(VeloraTest::makeVideo(video, 30));
        QTRY_VERIFY(library->tableModel()->rowOfPath(video) >= 0);
        MediaLibTableView *table = library->tableView();
        // As the window system delivers it: a click, then the second press as a double click.
        const auto click = [&](const QString &path, int column, bool twice) {
            const auto *sorted = qobject_cast<QSortFilterProxyModel *>(table->model());
            const QModelIndex cell = sorted->mapFromSource(
                    library->tableModel()->index(library->tableModel()->rowOfPath(path), column));
            table->scrollTo(cell);
            const QPoint at = table->visualRect(cell).center();
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
            if (twice)
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        };
        const auto doubleClick = [&](const QString &path) {
            click(path, 0, true);
        };
        QStringList told;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            told << question.title + QStringLiteral(": ") + question.text;
            return QMessageBox::Ok;
        });
        doubleClick(photo);
        QCOMPARE(window.currentSplitMode(), 7);
        QVERIFY(told.isEmpty());
        // The video takes the picture's place in full display, playing, its file in use.
        doubleClick(video);
        QVERIFY(told.isEmpty());
        QCOMPARE(window.currentSplitMode(), 8);
        QCOMPARE(playingVideo(window), video);
        QTRY_VERIFY(window.videoBar()->isVisible());
        QCOMPARE(window.videoBar()->jogSlider()->maximum(), 30);
        MediaImpl playing(video, MediaIntf::Video);
        QVERIFY(!take<MediaInfoStore>()->remove(playing));
        QCOMPARE(told, {QStringLiteral("Remove failed: This file is playing")});
        QVERIFY(QFile::exists(video));
        // Escape leaves full screen, the bar's close button the video.
        window.videoBar()->clickFullScreen();
        QVERIFY(window.isVideoFullScreen());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVideoFullScreen() && !window.videoBar()->isFullScreenChecked());
        window.videoBar()->findChild<QToolButton *>(QStringLiteral("closeBtn"))->click();
        QCOMPARE(window.currentSplitMode(), 0);
        QCOMPARE(playingVideo(window), QString());
        QVERIFY(!window.videoPlayer()->videoWidget()->isVisible());

        // Listed as soon as the recording is handed over, not at the next look at the folder.
        const QString recorded = folder.filePath(QStringLiteral("Velora-recorded.avi"));
        QVERIFY(QFile(recorded).open(QIODevice::WriteOnly));
        window.recordForceStopped(0, {recorded});
        QVERIFY(library->tableModel()->rowOfPath(recorded) >= 0);

        // The Info column opens the file's information dialog over the panel.
        click(recorded, MediaLibTableModel::InfoColumn, false);
        auto *dialog = library->findChild<MediaInfoModifiedPanel *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->findChild<QLineEdit *>()->text(), QStringLiteral("Velora-recorded"));
        dialog->reject();
    }

    void droppedVideoPlaysUntilAPictureIsShown_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("from the camera with the webcam") << 2;
        QTest::newRow("as the large view") << 6;
    }

    void droppedVideoPlaysUntilAPictureIsShown()
    {
        QFETCH(int, mode);
        Velora window;
        settle(window);
        const QString video = media.filePath(QStringLiteral("Dropped.AVI"));
        QVERIFY(QFile::exists(video) || VeloraTest::makeVideo(video, 30));
        splitButton(window, mode)->click();
        QVERIFY(drop(window, {QUrl::fromLocalFile(video)},
                     window.centralWidget()->rect().center()));
        // The split layouts play it in their media pane; the others in full display.
        QCOMPARE(window.currentSplitMode(), mode > 2 ? mode : 8);
        QCOMPARE(playingVideo(window), video);
        const DisplayLayout layout
                = DisplayLayout::compute(window.currentSplitMode(), window.centralWidget()->rect());
        QWidget *view = window.videoPlayer()->videoWidget();
        QVERIFY(view->isVisible());
        QVERIFY(layout.media.contains(inCentral(view, window.centralWidget())));

        window.imgRequestToShow(picture);
        QCOMPARE(window.currentSplitMode(), mode > 2 ? mode : 7);
        QCOMPARE(playingVideo(window), QString());
        QVERIFY(!view->isVisible());
        window.leaveImageFullDisplaySplit();
        QCOMPARE(window.currentSplitMode(), mode);
    }

    void annotationDrawsOnTheShownPicture()
    {
        Velora window;
        settle(window);
        CanvasView *cameraCanvas = window.cameraCanvas();
        const auto kivoscope = take<KivoscopeIntf>();
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
        const auto annotation = take<AnnotationIntf>();
        QCOMPARE(annotation->activeCanvas(), pictureCanvas);
        drawStroke(pictureCanvas, QPoint(10, 10), QPoint(60, 60));
        QCOMPARE(pictureCanvas->scene()->items().size(), 1);
        window.leaveImageFullDisplaySplit();
        QCOMPARE(annotation->activeCanvas(), cameraCanvas);

        // "Clear all" of the strip empties the active canvas only.
        window.tools()->findChild<QToolButton *>(QStringLiteral("clearAllBtn"))->click();
        QVERIFY(cameraCanvas->scene()->items().isEmpty());
        QCOMPARE(pictureCanvas->scene()->items().size(), 1);

        // Drawings turn, mirror and zoom with the camera picture.
        QSignalSpy turned(kivoscope.get(), &KivoscopeIntf::rotationChanged);
        QSignalSpy mirrored(kivoscope.get(), &KivoscopeIntf::mirrorChanged);
        QSignalSpy zoomed(kivoscope.get(), &KivoscopeIntf::zoomRatioChanged);
        QCOMPARE(kivoscope->rotate(), Result::Success);
        QCOMPARE(kivoscope->toggleMirror(), Result::Success);
        QCOMPARE(kivoscope->zoomIn(), Result::Success);
        QTRY_VERIFY(turned.size() == 1 && mirrored.size() == 1 && zoomed.size() == 1);
        QVERIFY(cameraCanvas->rotation() != 0 && zoomed.at(0).at(0).toDouble() > 1.0);
        QCOMPARE(cameraCanvas->rotation(), turned.at(0).at(0).toUInt() % 360);
        QCOMPARE(cameraCanvas->isMirrored(), mirrored.at(0).at(0).toBool());
        QCOMPARE(cameraCanvas->scaleFactor(), zoomed.at(0).at(0).toDouble());
    }

    void gradeCamLendsTheCameraAndTakesItBack()
    {
        Velora window;
        settle(window);
        QAction *action = window.gradeCamAction();
        const auto kivoscope = take<KivoscopeIntf>();
        QVERIFY(action->isEnabled());

        MessageBox::setAnswerer([](const MessageBox::Question &) { return QMessageBox::Yes; });
        action->trigger();
        QCOMPARE(action->text(), QStringLiteral("Reconnect"));
        QVERIFY(action->isChecked());
        QCOMPARE(opened.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!kivoscope->isConnected(), 5000);

        action->trigger();
        QCOMPARE(action->text(), QStringLiteral("GradeCam"));
        QVERIFY(!action->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected(), 5000);

        // Without a camera there is nothing to lend and nothing to draw on.
        const auto drawable = [&] {
            return window.cameraCanvas()->isVisibleTo(kivoscope->view());
        };
        QVERIFY(SimulatedCameras::remove(documentCameraKey));
        QTRY_VERIFY_WITH_TIMEOUT(!action->isEnabled() && !drawable(), 5000);
        replugDocumentCamera();
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled() && drawable(), 5000);
    }

    void recordingCounterAndResolutionChange()
    {
        Velora window;
        settle(window);
        QSystemTrayIcon *tray = window.recordingTrayIcon();
        QVERIFY(!tray->icon().pixmap(16).isNull());
        // No tray here: the stand-in bar carries the counter.
        window.startRecording();
        QVERIFY(!tray->isVisible() && window.recordingBar()->isVisible());
        for (int i = 0; i < 3723; ++i)
            window.recordingCounterCount();
        QCOMPARE(window.recordingCounterAction()->text(), QStringLiteral("Recording 01:02:03"));
        QCOMPARE(window.recordingBar()->counterText(), QStringLiteral("Recording 01:02:03"));
        // Centred at the top of a screen, never starting left of one narrower than the bar.
        QCOMPARE(RecordingControlBar::topEdgePosition({1920, 32, 1280, 1024}, {200, 30}),
                 QPoint(2460, 32));
        QCOMPARE(RecordingControlBar::topEdgePosition({-300, 0, 100, 800}, {200, 30}),
                 QPoint(-300, 0));

        // A new screen resolution maximizes the window again.
        QVERIFY(QMetaObject::invokeMethod(&window, "getResolutionChangedToResize", Q_ARG(int, 0)));
        QTRY_VERIFY(window.isMaximized());
    }
};

VELORA_TEST_MAIN(TestVelora)
#include "tst_velora.moc"
