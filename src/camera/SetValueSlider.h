#pragma once

#include <QSlider>

class QTimer;

/// A slider that reports its value once the presenter lets go of it, so that a drag across
/// the range sends the camera one command instead of one per pixel. Steps of the wheel and the
/// keys are reported as they come, at most one value per StepIntervalMs and the last always.
class SetValueSlider : public QSlider
{
    Q_OBJECT

public:
    explicit SetValueSlider(QWidget *parent = nullptr);
    explicit SetValueSlider(Qt::Orientation orientation, QWidget *parent = nullptr);

    static constexpr int StepIntervalMs = 100;

    /// Shows a value the camera reports, unless the presenter holds the handle or a step of
    /// theirs has not been reported yet (the camera's answer to an earlier one would undo it).
    void showValue(int value);

Q_SIGNALS:
    /// The value for the camera: when the handle is let go, and for steps of the wheel or keys.
    void mouseReleaseValue(uint value);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void stepped();
    void sendPendingStep();

    QTimer *stepTimer;
    bool stepping = false; ///< inside a wheel or key event
    int pendingStep = -1; ///< a stepped value not reported yet, or -1
};
