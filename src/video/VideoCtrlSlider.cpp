#include "VideoCtrlSlider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

VideoCtrlSlider::VideoCtrlSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{ }

int VideoCtrlSlider::valueAt(int position, int length, int minimum, int maximum)
{
    if (length <= 0)
        return minimum;
    const qint64 value = minimum + qint64(maximum - minimum) * position / length;
    return int(std::clamp<qint64>(value, minimum, maximum));
}

void VideoCtrlSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QSlider::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    const bool horizontal = orientation() == Qt::Horizontal;
    // A vertical slider has its minimum at the bottom.
    const int position = horizontal ? at.x() : height() - at.y();
    setValue(valueAt(position, horizontal ? width() : height(), minimum(), maximum()));

    // The usual handling then starts a drag from the handle. The style leaves room for the
    // handle at both ends, so near an end the click can miss it by a few pixels and would page
    // the value on: press where the handle now is instead.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle
            = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (handle.contains(at)) {
        QSlider::mousePressEvent(event);
        return;
    }
    QMouseEvent onHandle(event->type(), QPointF(handle.center()), event->globalPosition(),
                         event->button(), event->buttons(), event->modifiers());
    QSlider::mousePressEvent(&onHandle);
    event->setAccepted(onHandle.isAccepted());
}
