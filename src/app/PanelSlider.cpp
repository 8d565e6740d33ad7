#include "PanelSlider.h"

#include <QPainter>
#include <QPropertyAnimation>
#include <QStyleOptionButton>
#include <QStylePainter>

PanelSlider::PanelSlider(QWidget *panel, QPushButton *handle, Edge edge, int duration,
                         QObject *parent)
    : QObject(parent)
    , panel(panel)
    , handle(handle)
    , edge(edge)
    , duration(duration)
{
    handle->setFixedSize(edge == Edge::Top ? QSize(HandleLength, HandleThickness)
                                           : QSize(HandleThickness, HandleLength));
}

QPoint PanelSlider::shownPosition() const
{
    if (edge == Edge::Left)
        return QPoint(0, 0);
    const QWidget *area = panel->parentWidget();
    const int width = area ? area->width() : panel->width();
    return QPoint(qMax(0, (width - panel->width()) / 2), 0);
}

QPoint PanelSlider::hiddenPosition() const
{
    const QPoint in = shownPosition();
    return edge == Edge::Left ? QPoint(-panel->width(), in.y()) : QPoint(in.x(), -panel->height());
}

void PanelSlider::show(bool animated)
{
    shown = true;
    handle->hide();
    panel->show();
    panel->raise();
    slideTo(shownPosition(), animated);
}

void PanelSlider::hide(bool animated)
{
    shown = false;
    placeHandle();
    handle->show();
    handle->raise();
    slideTo(hiddenPosition(), animated);
}

void PanelSlider::place()
{
    if (animation)
        animation->stop();
    if (edge == Edge::Left && panel->parentWidget())
        panel->resize(panel->width(), panel->parentWidget()->height());
    panel->move(shown ? shownPosition() : hiddenPosition());
    placeHandle();
    handle->setVisible(!shown);
}

void PanelSlider::slideTo(const QPoint &target, bool animated)
{
    if (animation)
        animation->stop();
    if (!animated || duration <= 0 || panel->pos() == target) {
        panel->move(target);
        Q_EMIT slideFinished(shown);
        return;
    }
    animation = new QPropertyAnimation(panel, "pos", this);
    animation->setDuration(duration);
    animation->setStartValue(panel->pos());
    animation->setEndValue(target);
    const bool towards = shown;
    connect(animation, &QPropertyAnimation::finished, this,
            [this, towards] { Q_EMIT slideFinished(towards); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PanelSlider::placeHandle()
{
    const QWidget *area = handle->parentWidget();
    if (!area)
        return;
    if (edge == Edge::Top)
        handle->move((area->width() - handle->width()) / 2, 0);
    else
        handle->move(0, (area->height() - handle->height()) / 2);
}

HandleButton::HandleButton(const QString &text, Qt::Orientation orientation, QWidget *parent)
    : QPushButton(text, parent)
    , orientation(orientation)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize HandleButton::sizeHint() const
{
    return orientation == Qt::Horizontal
            ? QSize(PanelSlider::HandleLength, PanelSlider::HandleThickness)
            : QSize(PanelSlider::HandleThickness, PanelSlider::HandleLength);
}

void HandleButton::paintEvent(QPaintEvent *event)
{
    if (orientation == Qt::Horizontal) {
        QPushButton::paintEvent(event);
        return;
    }
    // Draw the button without its label, then the label turned to read from bottom to top.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.translate(0, height());
    painter.rotate(-90);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text());
}
