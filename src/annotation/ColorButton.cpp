#include "ColorButton.h"

#include <QPainter>
#include <QPixmap>

ColorButton::ColorButton(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(this, &QToolButton::clicked, this, &ColorButton::beClicked);
    paintSwatch();
}

void ColorButton::setColor(const QColor &color)
{
    swatch = color;
    swatch.setAlpha(255);
    paintSwatch();
}

void ColorButton::beClicked()
{
    Q_EMIT clickToGetColor(swatch);
}

void ColorButton::resizeEvent(QResizeEvent *event)
{
    QToolButton::resizeEvent(event);
    paintSwatch();
}

void ColorButton::paintSwatch()
{
    // Painted rather than styled: a style sheet background would hide the hover and pressed
    // feedback of the platform style, and the swatch follows the button's size.
    const QSize side = size() - QSize(6, 6);
    if (side.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(side * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x26, 0x32, 0x38, 90), 1));
    painter.setBrush(swatch);
    painter.drawRoundedRect(QRectF(0.5, 0.5, side.width() - 1, side.height() - 1), 3, 3);
    painter.end();
    setIconSize(side);
    setIcon(QIcon(pixmap));
}
