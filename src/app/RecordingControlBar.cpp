#include "RecordingControlBar.h"

#include <RecordingCounter.h>

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

RecordingControlBar::RecordingControlBar(QWidget *parent)
    : QFrame(parent,
             Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                     | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("RecordingControlBar"));
    setWindowTitle(tr("Velora"));
    // The teacher keeps typing into whatever is being recorded while the bar appears.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFrameShape(QFrame::StyledPanel);
    // Paused and muted must be plain to see from the back of a classroom, whatever the style.
    setStyleSheet(QStringLiteral("QToolButton:checked { background-color: rgb(220,0,0);"
                                 " color: white; border-radius: 3px; padding: 2px 4px; }"));

    auto *mark = new QLabel(this);
    mark->setPixmap(QIcon(QStringLiteral(":/Image/Tray_Record")).pixmap(20, 20));
    counter = new QLabel(this);
    counter->setObjectName(QStringLiteral("counter"));

    auto makeButton = [this](const QString &name, const QString &text, bool checkable) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setText(text);
        button->setCheckable(checkable);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    stopBtn = makeButton(QStringLiteral("stopBtn"), tr("Stop Record"), false);
    stopBtn->setToolTip(tr("Click to stop"));
    pauseBtn = makeButton(QStringLiteral("pauseBtn"), tr("Pause"), true);
    muteBtn = makeButton(QStringLiteral("muteBtn"), tr("Mute"), true);
    // clicked(), unlike toggled(), comes only from the user: the slots below set the buttons
    // without asking for what is already so.
    connect(stopBtn, &QToolButton::clicked, this, &RecordingControlBar::stopRequested);
    connect(pauseBtn, &QToolButton::clicked, this, &RecordingControlBar::pauseRequested);
    connect(muteBtn, &QToolButton::clicked, this, &RecordingControlBar::muteRequested);

    auto *layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(mark);
    layout->addWidget(counter);
    layout->addWidget(stopBtn);
    layout->addWidget(muteBtn);
    layout->addWidget(pauseBtn);
    setSeconds(0);
}

QPoint RecordingControlBar::topEdgePosition(const QRect &available, const QSize &barSize)
{
    const int x = available.x() + (available.width() - barSize.width()) / 2;
    return {std::max(x, available.left()), available.top()};
}

void RecordingControlBar::placeAtTopEdge(const QRect &available)
{
    layout()->activate();
    move(topEdgePosition(available, frameGeometry().size()));
}

QString RecordingControlBar::counterText() const
{
    return counter->text();
}

void RecordingControlBar::setSeconds(int seconds)
{
    counter->setText(recordingCounterText(seconds));
}

void RecordingControlBar::setPaused(bool paused)
{
    pauseBtn->setChecked(paused);
}

void RecordingControlBar::setMuted(bool muted)
{
    muteBtn->setChecked(muted);
}
