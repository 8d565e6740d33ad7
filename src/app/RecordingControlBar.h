#pragma once

#include <QFrame>
#include <QPoint>
#include <QRect>
#include <QSize>

class QLabel;
class QToolButton;

/// The recording controls where the desktop has no system tray (stock GNOME among others): the
/// counter, Pause, Mute and Stop in a small always-on-top bar at the top edge of the screen.
///
/// The bar holds no recording state of its own: the main window feeds it the counter and the
/// paused and muted states through the slots and answers its signals, as it does the tray menu's
/// actions. Showing it never takes the keyboard from the window being recorded.
class RecordingControlBar : public QFrame
{
    Q_OBJECT

public:
    explicit RecordingControlBar(QWidget *parent = nullptr);

    /// Horizontally centred on the top edge of `available` (a screen's available geometry),
    /// never starting left of it.
    void placeAtTopEdge(const QRect &available);
    static QPoint topEdgePosition(const QRect &available, const QSize &barSize);

    QString counterText() const;
    QToolButton *stopButton() const { return stopBtn; }
    QToolButton *pauseButton() const { return pauseBtn; }
    QToolButton *muteButton() const { return muteBtn; }

public Q_SLOTS:
    void setSeconds(int seconds);
    void setPaused(bool paused);
    void setMuted(bool muted);

Q_SIGNALS:
    void stopRequested();
    /// The user asked to pause (true) or to go on (false).
    void pauseRequested(bool pause);
    void muteRequested(bool mute);

private:
    QLabel *counter = nullptr;
    QToolButton *stopBtn = nullptr;
    QToolButton *pauseBtn = nullptr;
    QToolButton *muteBtn = nullptr;
};
