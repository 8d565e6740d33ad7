// The display modes: which views show where, the picture-in-picture frame, pictures shown in
// the media area, and drops onto the window.

#include "DisplayLayout.h"
#include "MediaDrop.h"
#include "PanelSlider.h"
#include "ToolsPanel.h"
#include "Velora.h"
#include "ui_Velora.h"

#include <CameraWidget.h>
#include <ImageControlPanel.h>
#include <ImageWidget.h>
#include <KivoscopeIntf.h>
#include <LogModule.h>
#include <PipView.h>
#include <VideoControlPanel.h>
#include <VideoIntf.h>
#include <VideoWidget.h>
#include <WebCamIntf.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

const LogModule modesLog("velora/mainWindow");

/// The gap between the picture bar and the bottom of the picture it controls.
constexpr int ControlPanelMargin = 12;

bool isFullDisplay(int mode)
{
    return mode == 7 || mode == 8;
}

bool showsWebCam(int mode)
{
    return mode == 1 || mode == 2 || (mode >= 4 && mode <= 6);
}

/// Where a picture of `fitted` size sits in `area`: in its middle.
QRect centred(const QRect &area, const QSize &fitted)
{
    QRect placed(QPoint(), fitted);
    placed.moveCenter(area.center());
    return placed;
}

} // namespace

void Velora::becomeOneSplit()
{
    enterSplitMode(0);
}

void Velora::becomePipSplit()
{
    enterSplitMode(1);
}

void Velora::becomeDWTwoSplit()
{
    enterSplitMode(2);
}

void Velora::becomeDMTwoSplit()
{
    enterSplitMode(3);
}

void Velora::becomeDThreeSplit()
{
    enterSplitMode(4);
}

void Velora::becomeWThreeSplit()
{
    enterSplitMode(5);
}

void Velora::becomeMThreeSplit()
{
    enterSplitMode(6);
}

void Velora::enterSplitMode(int mode)
{
    // A full display is left through its own slot, which knows where to return to.
    if (isFullDisplay(splitMode) && mode != splitMode) {
        leaveFullScreen();
        Q_EMIT isFullDisplayMode(false);
    }
    splitMode = mode;
    applyMode();
    Q_EMIT splitModeChange(splitMode);
}

void Velora::becomeImageFullDisplaySplit()
{
    enterFullDisplay(7);
}

void Velora::becomeVideoFullDisplaySplit()
{
    enterFullDisplay(8);
}

void Velora::enterFullDisplay(int mode)
{
    if (splitMode != mode)
        previousSplitMode = splitMode;
    splitMode = mode;
    applyMode();
    Q_EMIT splitModeChange(splitMode);
    Q_EMIT isFullDisplayMode(true);
}

void Velora::leaveImageFullDisplaySplit()
{
    leaveFullDisplay(7);
}

void Velora::leaveVideoFullDisplaySplit()
{
    leaveFullDisplay(8);
}

void Velora::leaveFullDisplay(int mode)
{
    if (splitMode != mode)
        return;
    leaveFullScreen();
    noMediaDisplay();
    splitMode = previousSplitMode;
    applyMode();
    Q_EMIT splitModeChange(splitMode);
    Q_EMIT isFullDisplayMode(false);
}

void Velora::changeImageFullScreenDisplayMode(bool fullScreen)
{
    if (fullScreen == imageFullScreen)
        return;
    imageFullScreen = fullScreen;
    applyFullScreen(fullScreen);
}

void Velora::changeVideoFullScreenDisplayMode(bool fullScreen)
{
    if (fullScreen == videoFullScreen)
        return;
    videoFullScreen = fullScreen;
    applyFullScreen(fullScreen);
}

void Velora::applyFullScreen(bool fullScreen)
{
    if (fullScreen) {
        // Only the picture and its bar remain; the panels wait behind the full screen.
        menuBar()->hide();
        toolsPanel->hide();
        toolsHandle->hide();
        mediaLibHandle->hide();
        if (mediaLibPanel)
            mediaLibPanel->hide();
        showFullScreen();
    } else {
        menuBar()->show();
        showMaximized();
        toolsSlider->place();
        if (mediaLibSlider)
            mediaLibSlider->place();
    }
    raiseUpAllControlWidgets();
}

void Velora::leaveFullScreen()
{
    // Through the bar's own button, so that its checked state follows.
    if (imageFullScreen)
        imageControlPanel->clickFullScreen();
    if (videoFullScreen)
        videoControlPanel->clickFullScreen();
}

void Velora::applyMode()
{
    mainSourceValue = mainSourceOf(splitMode);
    if (!inWidgetMode) {
        if (showsWebCam(splitMode))
            webCam->switchDisplayOn();
        else
            webCam->switchDisplayOff();
    }
    layoutViews();
    activateCanvasForMode();
    pipView->setVisible(splitMode == 1);
    raiseUpAllControlWidgets();
}

QRect Velora::displayArea() const
{
    return ui->centralwidget->rect();
}

void Velora::layoutViews()
{
    const DisplayLayout layout
            = DisplayLayout::compute(splitMode, displayArea(), pipView->cornerIndex());

    // In widget mode the camera view lives in the floating bar.
    if (!inWidgetMode) {
        if (layout.docCam.isEmpty()) {
            kivoscope->hideView();
        } else {
            kivoscope->view()->setGeometry(layout.docCam);
            kivoscope->showView();
        }
    }

    CameraWidget *webCamView = webCam->mainView();
    if (splitMode == 1) {
        pipView->setGeometry(layout.pip);
        webCamView->resize(pipView->contentsRect().size());
        pipView->centreView(webCamView);
        pipGeometry = pipView->geometry();
    } else {
        if (webCamView->parentWidget() != ui->centralwidget) {
            const bool visible = webCamView->isVisibleTo(webCamView->parentWidget());
            webCamView->setParent(ui->centralwidget);
            webCamView->setVisible(visible);
        }
        if (!layout.webCam.isEmpty())
            webCamView->setGeometry(layout.webCam);
    }

    ImageWidget *mediaView = splitMode == 7 ? imageView : secondImageView;
    ImageWidget *otherView = mediaView == imageView ? secondImageView : imageView;
    otherView->hide();
    if (layout.media.isEmpty() || mediaDisplayKind == VideoShown) {
        mediaView->hide();
        imageControlPanel->hide();
        if (layout.media.isEmpty()) {
            videoHide();
            return;
        }
        auto *videoView = static_cast<VideoWidget *>(video->videoWidget());
        videoView->setGeometry(centred(layout.media, videoView->fitSize(layout.media.size())));
        placeMediaBar(videoControlPanel, layout.media);
        videoShow();
        return;
    }
    mediaView->setGeometry(centred(layout.media, mediaView->fitSize(layout.media.size())));
    mediaView->show();
    if (mediaDisplayKind == ImageShown) {
        placeMediaBar(imageControlPanel, layout.media);
        imageControlPanel->show();
    } else {
        imageControlPanel->hide();
    }
}

void Velora::placeMediaBar(QWidget *bar, const QRect &area)
{
    const QSize size(qMin(bar->sizeHint().width(), area.width()), bar->sizeHint().height());
    bar->setGeometry(area.center().x() - size.width() / 2,
                     area.bottom() - ControlPanelMargin - size.height(), size.width(),
                     size.height());
}

void Velora::raiseUpAllControlWidgets()
{
    // The media library's panel arrives before the picture-in-picture frame is built.
    if (pipView)
        pipView->raise();
    imageControlPanel->raise();
    if (videoControlPanel)
        videoControlPanel->raise();
    if (mediaLibPanel)
        mediaLibPanel->raise();
    toolsPanel->raise();
    toolsHandle->raise();
    mediaLibHandle->raise();
}

void Velora::pipMove()
{
    pipView->setCornerIndex(pipView->nextCornerIndex());
    replacePipView();
}

void Velora::replacePipView()
{
    if (splitMode == 1)
        layoutViews();
}

void Velora::imgRequestToShow(const QString &path)
{
    modesLog.log(6, "Velora::imgRequestToShow - %s", qPrintable(path));
    // A picture takes the video's place, and the video stops.
    if (splitMode == 8)
        leaveVideoFullDisplaySplit();
    else if (mediaDisplayKind == VideoShown)
        noMediaDisplay();
    if (splitMode <= 2) {
        becomeImageFullDisplaySplit();
        toolsPanel->homeBtnClicked();
    }
    showImageFile(path);
}

void Velora::showImageFile(const QString &path)
{
    ImageWidget *view = splitMode == 7 ? imageView : secondImageView;
    // The media area holds one picture; the other view's is stale, and its decode wasted.
    (view == imageView ? secondImageView : imageView)->clear();
    if (view->setImage(path) != 1) {
        leaveUnreadableImage();
        return;
    }
    shownImagePath = path;
    mediaDisplayKind = ImageShown;
    layoutViews();
    raiseUpAllControlWidgets();
}

void Velora::leaveUnreadableImage()
{
    noMediaDisplay();
    if (splitMode == 7)
        leaveImageFullDisplaySplit();
    else
        layoutViews();
}

void Velora::mediaHideControl()
{
    imageControlPanel->hide();
    videoControlPanel->hide();
}

void Velora::noMediaDisplay()
{
    mediaDisplayKind = NothingShown;
    shownImagePath.clear();
    imageView->clear();
    secondImageView->clear();
    stopShownVideo();
    mediaHideControl();
}

bool Velora::dropAccepted(const QMimeData *mime, const QPoint &pos) const
{
    if (!mime->hasUrls())
        return false;
    if (!MediaDrop::classify(mime->urls()).accepted())
        return false;
    if (mediaLibPanel && mediaLibPanel->isVisible()) {
        const QRect panelArea(mediaLibPanel->mapTo(this, QPoint(0, 0)), mediaLibPanel->size());
        if (panelArea.contains(pos))
            return false;
    }
    return true;
}

void Velora::dragEnterEvent(QDragEnterEvent *event)
{
    if (dropAccepted(event->mimeData(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Velora::dragMoveEvent(QDragMoveEvent *event)
{
    if (dropAccepted(event->mimeData(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Velora::dropEvent(QDropEvent *event)
{
    if (!dropAccepted(event->mimeData(), event->position().toPoint())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const MediaDrop drop = MediaDrop::classify(event->mimeData()->urls());
    if (drop.kind == MediaDrop::Kind::Video)
        playVideoFile(drop.path);
    else
        imgRequestToShow(drop.path);
}
