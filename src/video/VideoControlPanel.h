#pragma once

#include <QFrame>
#include <QTimer>

class QLabel;
class QSlider;
class QToolButton;
class VideoCtrlSlider;

/// The bar under a playing video: close, play/pause, the position slider, the volume slider,
/// the time played and full screen.
///
/// The bar only asks: the main window turns its requests into calls on the video component and
/// feeds the component's progress, end and allowed actions back. While a video plays, the bar
/// hides after a few idle seconds and comes back when the pointer moves over the video or bar.
class VideoControlPanel : public QFrame
{
    Q_OBJECT

public:
    /// How long the pointer may rest before a playing video's bar steps out of the way.
    static constexpr int HideDelay = 3000;

    explicit VideoControlPanel(QWidget *parent = nullptr);

    /// Starts a new video of `seconds` length at `volume` (0 to 100), at its beginning.
    void setVideo(uint seconds, int volume);
    /// Clicks the full-screen button as the user would, so that leaving full screen from
    /// elsewhere (the Escape key) keeps the button's state and the window's in step.
    void clickFullScreen();
    bool isFullScreenChecked() const;
    /// Pointer movement over `widget` brings the hidden bar back.
    void watchActivity(QWidget *widget);

    VideoCtrlSlider *jogSlider() const { return jog; }
    QSlider *volumeSlider() const { return volume; }
    QToolButton *playPauseButton() const { return playPauseBtn; }
    QLabel *timeLabel() const { return time; }

public Q_SLOTS:
    /// Follows playback: moves the position slider without asking for a seek.
    void videoPlaybackCurrentTime(uint seconds);
    /// Back to the start without a seek, play button up.
    void videoEnded();
    void timesUpToHideCtrlBtn();
    void timerDisplay(int seconds);
    /// Restarts the idle count and shows the bar again.
    void timerCountToHideCtrlBtn();
    /// Enables each control by the video component's allowed actions.
    void btnsEnableByVideoStatus(uint status);
    /// The close button only where the video can be closed: not in the split layouts.
    void splitModeChangedUI(int mode);

Q_SIGNALS:
    void videoStartPauseRequest(bool checked);
    void videoStopRequest();
    void setVideoCurrentTime(int seconds);
    void setVideoVolume(int volume);
    void closeClicked();
    void fullScreenClicked(bool fullScreen);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Moves the position slider without its move reaching setVideoCurrentTime().
    void follow(int seconds);
    void setPlayIcon(bool playing);

    QToolButton *closeBtn;
    QToolButton *playPauseBtn;
    VideoCtrlSlider *jog;
    QSlider *volume;
    QLabel *time;
    QToolButton *fullScreenBtn;
    QFrame *closeLine;
    QTimer hideTimer;
    QMetaObject::Connection seeking;
    uint totalSeconds = 0;
    uint actionStatus = 0;
};
