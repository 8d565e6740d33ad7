#include "SetValueSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWheelEvent>

SetValueSlider::SetValueSlider(QWidget *parent)
    : SetValueSlider(Qt::Horizontal, parent)
{ }

SetValueSlider::SetValueSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
    , stepTimer(new QTimer(this))
{
    stepTimer->setSingleShot(true);
    stepTimer->setInterval(StepIntervalMs);
    connect(stepTimer, &QTimer::timeout, this, &SetValueSlider::sendPendingStep);
    // Actions are the user's own changes; values set from the camera do not trigger one, and
    // those of the mouse are sent on release.
    connect(this, &QAbstractSlider::actionTriggered, this, &SetValueSlider::stepped);
}

void SetValueSlider::showValue(int value)
{
    if (!isSliderDown() && pendingStep < 0)
        setValue(value);
}

void SetValueSlider::mousePressEvent(QMouseEvent *event)
{
    // Whatever the wheel or the keys left unsent, the release sends the value that counts.
    pendingStep = -1;
    QSlider::mousePressEvent(event);
}

void SetValueSlider::mouseReleaseEvent(QMouseEvent *event)
{
    // A click on the groove moves the handle by a page without a drag; both end here.
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT mouseReleaseValue(uint(qMax(0, value())));
}

void SetValueSlider::wheelEvent(QWheelEvent *event)
{
    const QScopedValueRollback<bool> scope(stepping, true);
    QSlider::wheelEvent(event);
}

void SetValueSlider::keyPressEvent(QKeyEvent *event)
{
    const QScopedValueRollback<bool> scope(stepping, true);
    QSlider::keyPressEvent(event);
}

void SetValueSlider::stepped()
{
    if (!stepping || isSliderDown())
        return;
    // The action is announced before the value moves; the position already holds the new one.
    pendingStep = qMax(0, sliderPosition());
    if (!stepTimer->isActive())
        sendPendingStep();
}

void SetValueSlider::sendPendingStep()
{
    if (pendingStep < 0)
        return;
    const uint value = uint(pendingStep);
    pendingStep = -1;
    // A burst of wheel steps reaches the camera as its first value, then the latest every
    // interval, so a slow camera is not queued up with values the presenter has moved past.
    stepTimer->start();
    Q_EMIT mouseReleaseValue(value);
}
