#include "VideoControlPanel.h"

#include "VideoCtrlSlider.h"
#include "VideoIntf.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QToolButton>

namespace {

QToolButton *toolButton(QWidget *parent, const char *name, const QString &icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(31, 31);
    button->setIconSize(QSize(24, 24));
    button->setIcon(QIcon(icon));
    return button;
}

QFrame *separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFixedSize(1, 40);
    return line;
}

/// Hours, minutes and seconds of `seconds`, two digits each.
QString clock(uint seconds)
{
    const auto twoDigits = [](uint value) {
        return QString::number(value).rightJustified(2, '0');
    };
    return twoDigits(seconds / 3600) + QLatin1Char(':') + twoDigits(seconds / 60 % 60)
            + QLatin1Char(':') + twoDigits(seconds % 60);
}

} // namespace

VideoControlPanel::VideoControlPanel(QWidget *parent)
    : QFrame(parent)
    , closeBtn(toolButton(this, "closeBtn", QStringLiteral(":/Image/pics/videobar_exit.png")))
    , playPauseBtn(toolButton(this, "playPauseBtn", QStringLiteral(":/Image/pics/play.png")))
    , jog(new VideoCtrlSlider(Qt::Horizontal, this))
    , volume(new QSlider(Qt::Horizontal, this))
    , time(new QLabel(this))
    , fullScreenBtn(toolButton(this, "fullScreenBtn",
                               QStringLiteral(":/Image/pics/become_FullScreen.png")))
    , closeLine(separator(this))
{
    setObjectName(QStringLiteral("VideoControlPanel"));
    setFixedHeight(40);
    setStyleSheet(QStringLiteral(
            "#VideoControlPanel{border: 1px solid rgb(184,184,184); background-color: "
            "qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(255,255,255,230), "
            "stop:1 rgba(184,184,184,230));}\nQToolButton{border: 1px solid rgba(184,184,184,0);"
            "background-color: rgba(184,184,184,0);}"));
    playPauseBtn->setCheckable(true);
    fullScreenBtn->setCheckable(true);
    jog->setObjectName(QStringLiteral("jogSlider"));
    jog->setMinimumWidth(240);
    volume->setObjectName(QStringLiteral("volumeSlider"));
    volume->setRange(0, 100);
    volume->setFixedWidth(80);
    time->setObjectName(QStringLiteral("timeLabel"));
    timerDisplay(0);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(closeBtn);
    layout->addWidget(closeLine);
    layout->addWidget(playPauseBtn);
    layout->addWidget(jog, 1);
    layout->addWidget(time);
    layout->addWidget(separator(this));
    layout->addWidget(volume);
    layout->addWidget(separator(this));
    layout->addWidget(fullScreenBtn);

    connect(closeBtn, &QToolButton::clicked, this, &VideoControlPanel::closeClicked);
    connect(playPauseBtn, &QToolButton::clicked, this, &VideoControlPanel::videoStartPauseRequest);
    connect(fullScreenBtn, &QToolButton::clicked, this, [this](bool fullScreen) {
        fullScreenBtn->setIcon(
                QIcon(fullScreen ? QStringLiteral(":/Image/pics/exit_FullScreen.png")
                                 : QStringLiteral(":/Image/pics/become_FullScreen.png")));
        Q_EMIT fullScreenClicked(fullScreen);
    });
    seeking = connect(jog, &QSlider::valueChanged, this, &VideoControlPanel::setVideoCurrentTime);
    connect(jog, &QSlider::valueChanged, this, &VideoControlPanel::timerDisplay);
    connect(volume, &QSlider::valueChanged, this, &VideoControlPanel::setVideoVolume);

    hideTimer.setSingleShot(true);
    hideTimer.setInterval(HideDelay);
    connect(&hideTimer, &QTimer::timeout, this, &VideoControlPanel::timesUpToHideCtrlBtn);
    watchActivity(this);
    btnsEnableByVideoStatus(0);
}

void VideoControlPanel::setVideo(uint seconds, int volumeLevel)
{
    totalSeconds = seconds;
    jog->setMaximum(int(qMin<uint>(seconds, INT_MAX)));
    follow(0);
    const QSignalBlocker quiet(volume);
    volume->setValue(volumeLevel);
}

void VideoControlPanel::clickFullScreen()
{
    fullScreenBtn->click();
}

bool VideoControlPanel::isFullScreenChecked() const
{
    return fullScreenBtn->isChecked();
}

void VideoControlPanel::watchActivity(QWidget *widget)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool VideoControlPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
        timerCountToHideCtrlBtn();
    return QFrame::eventFilter(watched, event);
}

void VideoControlPanel::videoPlaybackCurrentTime(uint seconds)
{
    follow(int(qMin<uint>(seconds, INT_MAX)));
}

void VideoControlPanel::videoEnded()
{
    follow(0);
    playPauseBtn->setChecked(false);
    setPlayIcon(false);
}

void VideoControlPanel::follow(int seconds)
{
    // Playback moved the position; only the user's moves are seeks.
    disconnect(seeking);
    jog->setValue(seconds);
    seeking = connect(jog, &QSlider::valueChanged, this, &VideoControlPanel::setVideoCurrentTime);
}

void VideoControlPanel::timerDisplay(int seconds)
{
    time->setText(clock(uint(qMax(seconds, 0))) + QStringLiteral(" / ") + clock(totalSeconds));
}

void VideoControlPanel::timesUpToHideCtrlBtn()
{
    // Paused or stopped, the presenter is about to use the bar: it stays.
    if (actionStatus & VideoIntf::CanPause)
        hide();
}

void VideoControlPanel::timerCountToHideCtrlBtn()
{
    if (actionStatus & VideoIntf::Attached)
        show();
    hideTimer.start();
}

void VideoControlPanel::btnsEnableByVideoStatus(uint status)
{
    actionStatus = status;
    const bool playing = status & VideoIntf::CanPause;
    playPauseBtn->setEnabled(status
                             & (VideoIntf::CanStart | VideoIntf::CanPause | VideoIntf::CanResume));
    playPauseBtn->setChecked(playing);
    setPlayIcon(playing);
    jog->setEnabled(status & VideoIntf::CanMove);
    volume->setEnabled(status & VideoIntf::Attached);
    if (playing)
        hideTimer.start();
    else
        hideTimer.stop();
}

void VideoControlPanel::setPlayIcon(bool playing)
{
    playPauseBtn->setIcon(QIcon(playing ? QStringLiteral(":/Image/pics/playing.png")
                                        : QStringLiteral(":/Image/pics/play.png")));
}

void VideoControlPanel::splitModeChangedUI(int mode)
{
    if (mode < 0 || mode > 8)
        return;
    const bool closable = mode <= 2 || mode >= 7;
    closeBtn->setVisible(closable);
    closeLine->setVisible(closable);
}
