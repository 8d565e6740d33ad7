#include "FittingScrollArea.h"

#include <QEvent>
#include <QScrollBar>

#include <algorithm>

FittingScrollArea::FittingScrollArea(QWidget *parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The panel's own ground shows through; the content paints its own.
    setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    viewport()->setAutoFillBackground(false);
}

void FittingScrollArea::setRoom(int height)
{
    height = std::max(height, 0);
    if (room == height)
        return;
    room = height;
    updateGeometry();
}

QSize FittingScrollArea::sizeHint() const
{
    const QWidget *content = widget();
    if (!content)
        return {};
    const int frame = 2 * frameWidth();
    QSize hint = content->sizeHint().expandedTo(content->minimumSizeHint()) + QSize(frame, frame);
    if (hint.height() > room) {
        hint.setHeight(room);
        hint.rwidth() += verticalScrollBar()->sizeHint().width();
    }
    return hint;
}

QSize FittingScrollArea::minimumSizeHint() const
{
    // Never squeezed below what it asked for: its height is already what fits.
    return sizeHint();
}

bool FittingScrollArea::eventFilter(QObject *watched, QEvent *event)
{
    // The content sits in the viewport, outside any layout, so a change of what it needs
    // reaches the panel's layout only through here.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}
