// Videos in the media area: played from the media library or a drop, full display (mode 8) or
// one pane of the split layouts, with their bar, and the library told which file is playing.

#include "ToolsPanel.h"
#include "Velora.h"
#include "ui_Velora.h"

#include <ImageControlPanel.h>
#include <ImageWidget.h>
#include <LogModule.h>
#include <MediaInfoStore.h>
#include <MediaIntf.h>
#include <ShownMediaRecord.h>
#include <VideoControlPanel.h>
#include <VideoIntf.h>

namespace {

const LogModule videoWindowLog("velora/mainWindow");

} // namespace

void Velora::wireVideo()
{
    video = VideoIntf::getInstance();
    QWidget *view = video->videoWidget();
    view->setParent(ui->centralwidget);
    view->setObjectName(QStringLiteral("videoView"));
    view->hide();
    videoControlPanel = new VideoControlPanel(ui->centralwidget);
    videoControlPanel->watchActivity(view);
    videoControlPanel->hide();

    connect(video, &VideoIntf::actionStatusChanged, this, &Velora::videoStatusControl);
    connect(video, &VideoIntf::progressUpdated, videoControlPanel,
            &VideoControlPanel::videoPlaybackCurrentTime);
    connect(video, &VideoIntf::ended, videoControlPanel, &VideoControlPanel::videoEnded);
    connect(videoControlPanel, &VideoControlPanel::closeClicked, this,
            &Velora::leaveVideoFullDisplaySplit);
    connect(videoControlPanel, &VideoControlPanel::fullScreenClicked, this,
            &Velora::changeVideoFullScreenDisplayMode);
    connect(this, &Velora::splitModeChange, videoControlPanel,
            &VideoControlPanel::splitModeChangedUI);
    connect(videoControlPanel, &VideoControlPanel::videoStartPauseRequest, this,
            &Velora::videoStartPauseRequested);
    connect(videoControlPanel, &VideoControlPanel::videoStopRequest, this,
            [this] { video->stop(); });
    connect(videoControlPanel, &VideoControlPanel::setVideoCurrentTime, this,
            [this](int seconds) { video->moveTo(uint(qMax(seconds, 0))); });
    connect(videoControlPanel, &VideoControlPanel::setVideoVolume, this,
            [this](int volume) { video->setVolume(uint(qMax(volume, 0))); });
}

void Velora::videoObjRequestToPlay(MediaIntf *media)
{
    if (media)
        playVideoFile(media->path());
}

void Velora::playVideoFile(const QString &path)
{
    videoWindowLog.log(6, "Velora::videoObjRequestToPlay - %s", qPrintable(path));
    if (splitMode == 7)
        leaveImageFullDisplaySplit();
    if (splitMode <= 2) {
        becomeVideoFullDisplaySplit();
        toolsPanel->homeBtnClicked();
    }
    // The media area holds one thing at a time.
    shownImagePath.clear();
    imageView->clear();
    secondImageView->clear();
    imageControlPanel->hide();

    if (video->attachVideo(path) < 0) {
        leaveUnplayableVideo();
        return;
    }
    mediaInfo->shownMedia()->setPlayingVideo(path);
    if (video->start() < 0) {
        leaveUnplayableVideo();
        return;
    }
    mediaDisplayKind = VideoShown;
    videoControlPanel->setVideo(uint(qMax(video->getTotalVideoLengthInSeconds(), 0)),
                                video->volume());
    videoControlPanel->btnsEnableByVideoStatus(video->currentActionStatus());
    layoutViews();
    raiseUpAllControlWidgets();
}

void Velora::leaveUnplayableVideo()
{
    noMediaDisplay();
    if (splitMode == 8)
        leaveVideoFullDisplaySplit();
    else
        layoutViews();
}

void Velora::stopShownVideo()
{
    if (video->currentActionStatus() & VideoIntf::CanStop)
        video->stop();
    mediaInfo->shownMedia()->setPlayingVideo(QString());
    video->videoWidget()->hide();
}

void Velora::videoStatusControl(uint status)
{
    videoControlPanel->btnsEnableByVideoStatus(status);
    // Playing or paused, the file is in use; stopped or at its end, the library may have it.
    if (mediaDisplayKind == VideoShown)
        mediaInfo->shownMedia()->setPlayingVideo(status & VideoIntf::CanStop ? video->attachedPath()
                                                                             : QString());
}

void Velora::videoStartPauseRequested(bool play)
{
    const uint status = video->currentActionStatus();
    if (!play)
        video->pause();
    else if (status & VideoIntf::CanResume)
        video->resume();
    else
        video->start();
    // A refused request leaves the button as it was before the click.
    videoControlPanel->btnsEnableByVideoStatus(video->currentActionStatus());
}

void Velora::videoHide()
{
    if (mediaDisplayKind != VideoShown)
        return;
    if (video->currentActionStatus() & VideoIntf::CanPause)
        video->pause();
    video->videoWidget()->hide();
    videoControlPanel->hide();
}

void Velora::videoShow()
{
    if (mediaDisplayKind != VideoShown)
        return;
    video->videoWidget()->show();
    videoControlPanel->show();
}
