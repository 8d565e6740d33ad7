#include "VideoCtrlSlider.h"

#include <QMouseEvent>

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
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        const bool horizontal = orientation() == Qt::Horizontal;
        // A vertical slider has its minimum at the bottom.
        const int position = horizontal ? at.x() : height() - at.y();
        setValue(valueAt(position, horizontal ? width() : height(), minimum(), maximum()));
    }
    // The handle is now under the pointer, so the usual handling starts a drag from there.
    QSlider::mousePressEvent(event);
}
