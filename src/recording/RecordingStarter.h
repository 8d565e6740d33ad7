#pragma once

#include <QDialog>
#include <QPoint>

class QLabel;
class QTimer;

/// The three-second countdown before a recording begins: a grey backdrop over the area about to
/// be recorded, with a dark rounded box counting 3, 2, 1 and telling how to call it off.
///
/// The main window sets its geometry to cover the recorded area (backdrop included), connects
/// its own veloraMoved() to the slot of the same name and shows it. Counting down to the end
/// accepts the dialog and emits startRecording(true); Escape, Alt+F4 or closing it rejects it and
/// emits startRecording(false). Either way it then deletes itself.
///
/// Where no compositing manager runs, a translucent window would paint its backdrop black over
/// the whole area, so the window is shaped to the rounded box instead and the desktop stays
/// visible around it.
class RecordingStarter : public QDialog
{
    Q_OBJECT

public:
    /// The count the dialog starts from; one second per step.
    static constexpr int Seconds = 3;

    /// `fullScreen`: the dialog covers a whole screen rather than the main window, and its box
    /// leaves more room between the number and the hint.
    explicit RecordingStarter(bool fullScreen, QWidget *parent = nullptr);

public Q_SLOTS:
    void veloraMoved(QPoint topLeft);
    void done(int result) override;

Q_SIGNALS:
    void startRecording(bool start);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void tick();
    void showCounter();

    QWidget *box = nullptr;
    QLabel *number = nullptr;
    QTimer *timer = nullptr;
    int counter = Seconds;
    bool shaped = false;
    bool finished = false;
};
