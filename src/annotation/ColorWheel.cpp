#include "ColorWheel.h"

#include "ColorWheelGeometry.h"

#include <QApplication>
#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

ColorWheel::ColorWheel(QWidget *parent)
    : QWidget(parent)
    , picture(QStringLiteral(":/Image/pics/color.png"))
{
    setMouseTracking(true);
    setToolTip(tr("Pick a colour; the middle opens all colours"));
}

void ColorWheel::setColor(const QColor &color)
{
    if (color == current)
        return;
    current = color;
    update();
}

void ColorWheel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(rect(), picture);

    // Rings the current colour's segment, so the wheel shows what the pen draws with.
    painter.scale(width(), height());
    for (int i = 0; i < ColorWheelGeometry::SegmentCount; ++i) {
        if (ColorWheelGeometry::Colours[i] != current)
            continue;
        QPen ring(QColor(0x26, 0x32, 0x38), 2.0);
        ring.setCosmetic(true);
        ring.setJoinStyle(Qt::RoundJoin);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(ColorWheelGeometry::segment(i));
    }
}

void ColorWheel::mouseMoveEvent(QMouseEvent *event)
{
    setCursor(hitAt(event->position()) == Nothing ? Qt::ArrowCursor : Qt::PointingHandCursor);
    QWidget::mouseMoveEvent(event);
}

void ColorWheel::leaveEvent(QEvent *event)
{
    unsetCursor();
    QWidget::leaveEvent(event);
}

void ColorWheel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int hit = hitAt(event->position());
    if (hit == MoreColours) {
        const QColor chosen = askForColor(current);
        if (chosen.isValid())
            choose(chosen);
    } else if (hit != Nothing) {
        choose(ColorWheelGeometry::Colours[hit]);
    }
}

QColor ColorWheel::askForColor(const QColor &initial)
{
    return QColorDialog::getColor(initial, QApplication::activeWindow());
}

int ColorWheel::hitAt(const QPointF &point) const
{
    if (width() <= 0 || height() <= 0)
        return Nothing;
    const QPointF unit(point.x() / width(), point.y() / height());
    if (ColorWheelGeometry::moreColours().containsPoint(unit, Qt::OddEvenFill))
        return MoreColours;
    for (int i = 0; i < ColorWheelGeometry::SegmentCount; ++i) {
        if (ColorWheelGeometry::segment(i).containsPoint(unit, Qt::OddEvenFill))
            return i;
    }
    return Nothing;
}

void ColorWheel::choose(const QColor &color)
{
    if (color == current)
        return;
    current = color;
    update();
    Q_EMIT colorChanged(current);
}
