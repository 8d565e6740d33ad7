#include "VideoWidget.h"

#include "VideoLog.h"

#include <QLinearGradient>
#include <QPainter>
#include <QResizeEvent>

VideoWidget::VideoWidget(QWidget *parent)
    : QWidget(parent)
    , receiver(this)
{
    // The frames cover the widget; nothing underneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateTargetSize();
}

void VideoWidget::setFpsHint(uint fps)
{
    videoLog.log(4, "VideoWidget::setFpsHint() - fps : %d", int(fps));
    receiver.setFpsHint(fps);
}

void VideoWidget::setFrameSize(const QSize &size)
{
    videoSize = size;
    updateGeometry();
}

QSize VideoWidget::fitSize(const QSize &size) const
{
    if (videoSize.isEmpty())
        return size;
    return videoSize.scaled(size, Qt::KeepAspectRatio);
}

void VideoWidget::clear()
{
    receiver.clear();
    update();
}

QSize VideoWidget::sizeHint() const
{
    return videoSize.isEmpty() ? QSize(640, 480) : videoSize;
}

void VideoWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateTargetSize();
}

void VideoWidget::updateTargetSize()
{
    receiver.setTargetSize(size() * devicePixelRatioF());
}

void VideoWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage frame = receiver.frame();
    if (frame.isNull()) {
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, QColor::fromRgbF(0.8, 0.8, 0.8));
        painter.fillRect(rect(), gradient);
        if (!inactiveLogged)
            videoLog.log(6, "VideoWidget::paintEvent() - surface not active");
        inactiveLogged = true;
        return;
    }
    inactiveLogged = false;
    // Decoded rows arrive top-down, already the right way up.
    painter.drawImage(rect(), frame);
}
