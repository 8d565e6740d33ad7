#include "VisorWidget.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {
// Pixels one axis must lead the other by before a drag follows it.
constexpr double AxisLead = 5.0;
} // namespace

VisorWidget::VisorWidget(QWidget *parent)
    : PresenterMask(QStringLiteral("visor"), parent)
{
    setObjectName(QStringLiteral("VisorWidget"));
    connect(closeButton, &QPushButton::clicked, this, &VisorWidget::visorClose);
    connect(transparentAction, &QAction::triggered, this, &VisorWidget::setOpacity90);
    connect(saveAction, &QAction::triggered, this, &VisorWidget::preserveProperty);
    // Remembering "Save" and its position for the next run is the window's own business.
    connect(this, &VisorWidget::saveVisorProperty, this,
            [this](QPointF p, bool presave, int opacity) {
                remember({{QStringLiteral("x"), p.x()},
                          {QStringLiteral("y"), p.y()},
                          {QStringLiteral("opacity"), opacity}},
                         presave);
            });
}

void VisorWidget::preserveProperty()
{
    togglePreserved();
    Q_EMIT saveVisorProperty(shownAt, isPreserved(), opacityPercent());
}

void VisorWidget::setOpacity90()
{
    toggleOpacity();
    if (!isPreserved())
        Q_EMIT saveVisorProperty(shownAt, false, opacityPercent());
}

void VisorWidget::setNewMask()
{
    clearMask();
    setMask(coveredRegion());
}

QRegion VisorWidget::coveredRegion() const
{
    return QRegion(curtainRect(shownAt)) & rect();
}

void VisorWidget::firstShow()
{
    const QVariantMap saved = recall({QStringLiteral("x"), QStringLiteral("y")});
    dragOffset = {};
    direction = Undecided;
    dragging = false;
    offset = limited(QPointF(saved.value(QStringLiteral("x")).toDouble(),
                             saved.value(QStringLiteral("y")).toDouble()));
    moveCurtain(offset);
}

void VisorWidget::announceShown(bool shown)
{
    Q_EMIT showVisorWidget(shown);
}

QRect VisorWidget::curtainRect(QPointF at) const
{
    return QRect(qRound(at.x()), qRound(at.y()), width() + 1, height());
}

QPointF VisorWidget::limited(QPointF at) const
{
    const double x = std::max(0, width() + 1 - ButtonSize);
    const double y = std::max(0, height() - ButtonSize);
    return QPointF(std::clamp(at.x(), -x, x), std::clamp(at.y(), -y, y));
}

void VisorWidget::moveCurtain(QPointF at)
{
    const QRegion before(curtainRect(shownAt));
    shownAt = at;
    const QRect now = curtainRect(at);
    update(before.xored(now) & rect());
    // The close button sits at the top-right corner of the part of the curtain in view.
    placeButtons(QPoint(std::min(now.right() + 1, width() + 1) - ButtonSize, std::max(now.y(), 0)));
    updateShape();
}

QRect VisorWidget::closeButtonRect() const
{
    return closeButton->geometry().adjusted(-1, -1, 1, 1);
}

void VisorWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(curtainRect(shownAt) & event->rect(), paintColour(Grey));
}

void VisorWidget::mousePressEvent(QMouseEvent *event)
{
    // The right button opens the menu instead.
    if (event->button() != Qt::LeftButton)
        return;
    showCursor(Qt::ClosedHandCursor);
    dragging = true;
    direction = Undecided;
    pressPoint = event->globalPosition();
    dragOffset = {};
}

void VisorWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging) {
        showCursor(closeButtonRect().contains(event->position().toPoint()) ? Qt::ArrowCursor
                                                                           : Qt::OpenHandCursor);
        return;
    }
    showCursor(Qt::ClosedHandCursor);
    const QPointF moved = event->globalPosition() - pressPoint;
    if (direction == Undecided) {
        const double dx = std::abs(moved.x());
        const double dy = std::abs(moved.y());
        if (dx > dy + AxisLead)
            direction = Horizontal;
        else if (dy > dx + AxisLead)
            direction = Vertical;
    }
    if (direction == Horizontal)
        dragOffset = QPointF(moved.x(), 0);
    else if (direction == Vertical)
        dragOffset = QPointF(0, moved.y());
    moveCurtain(limited(offset + dragOffset));
}

void VisorWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !dragging)
        return;
    showCursor(Qt::OpenHandCursor);
    dragging = false;
    offset = limited(offset + dragOffset);
    dragOffset = {};
    moveCurtain(offset);
    if (!isPreserved())
        Q_EMIT saveVisorProperty(offset, false, opacityPercent());
}

void VisorWidget::resizeEvent(QResizeEvent *event)
{
    PresenterMask::resizeEvent(event);
    offset = limited(offset);
    moveCurtain(limited(offset + dragOffset));
}
