#include "MediaLibScrollArea.h"

#include "MediaLibThumbnailView.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

int slot(Qt::Orientation orientation)
{
    return orientation == Qt::Horizontal ? 0 : 1;
}

} // namespace

MediaLibScrollArea::MediaLibScrollArea(QWidget *parent)
    : QWidget(parent)
{
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        auto *bar = new QScrollBar(orientation, this);
        bar->setRange(0, 0);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, [this, orientation](int value) {
            Q_EMIT scrollBarValueChanged(value, orientation);
        });
        bars[slot(orientation)] = bar;
    }
}

void MediaLibScrollArea::setView(MediaLibThumbnailView *content)
{
    view = content;
    view->setParent(this);
    connect(this, &MediaLibScrollArea::scrollBarValueChanged, view,
            &MediaLibThumbnailView::setOffset);
    connect(view, &MediaLibThumbnailView::uiRangeChanged, this,
            &MediaLibScrollArea::setScrollBarRange);
    connect(view, &MediaLibThumbnailView::scrollRequested, this,
            [this](int value, Qt::Orientation orientation) {
                scrollBar(orientation)->setValue(value);
            });
    placeChildren();
}

QScrollBar *MediaLibScrollArea::scrollBar(Qt::Orientation orientation) const
{
    return bars[slot(orientation)];
}

void MediaLibScrollArea::setScrollBarRange(int minimum, int maximum, Qt::Orientation orientation)
{
    QScrollBar *bar = scrollBar(orientation);
    bar->setRange(minimum, maximum);
    const bool needed = maximum > minimum;
    if (bar->isVisibleTo(this) != needed) {
        bar->setVisible(needed);
        placeChildren();
    }
}

void MediaLibScrollArea::placeChildren()
{
    QScrollBar *vertical = scrollBar(Qt::Vertical);
    QScrollBar *horizontal = scrollBar(Qt::Horizontal);
    const int barWidth = vertical->isVisibleTo(this) ? vertical->sizeHint().width() : 0;
    const int barHeight = horizontal->isVisibleTo(this) ? horizontal->sizeHint().height() : 0;
    const QSize room(width() - barWidth, height() - barHeight);
    vertical->setGeometry(room.width(), 0, barWidth, room.height());
    horizontal->setGeometry(0, room.height(), room.width(), barHeight);
    if (view)
        view->setGeometry(QRect(QPoint(0, 0), room));
    for (QScrollBar *bar : bars)
        bar->setPageStep(bar->orientation() == Qt::Vertical ? room.height() : room.width());
    Q_EMIT sizeChanged(room);
}

void MediaLibScrollArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeChildren();
}

void MediaLibScrollArea::wheelEvent(QWheelEvent *event)
{
    // The view passes the wheel on; the bar scrolls as if the pointer were over it.
    QCoreApplication::sendEvent(scrollBar(Qt::Vertical), event);
}
