#include "SetValueSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>

SetValueSlider::SetValueSlider(QWidget *parent)
    : SetValueSlider(Qt::Horizontal, parent)
{ }

SetValueSlider::SetValueSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{ }

void SetValueSlider::mouseReleaseEvent(QMouseEvent *event)
{
    // A click on the groove moves the handle by a page without a drag; both end here.
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT mouseReleaseValue(uint(qMax(0, value())));
}

void SetValueSlider::keyReleaseEvent(QKeyEvent *event)
{
    QSlider::keyReleaseEvent(event);
    // Keyboard users step the value too; send it when the key comes up, as for the mouse.
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!event->isAutoRepeat())
            Q_EMIT mouseReleaseValue(uint(qMax(0, value())));
        break;
    default:
        break;
    }
}
