#include "PipView.h"

#include <QIcon>
#include <QResizeEvent>
#include <QToolButton>

namespace {
constexpr int ButtonSize = 32;
} // namespace

PipView::PipView(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("pipView"));
    // The frame sits over views that may show their own cursors (the annotation tools).
    setCursor(Qt::ArrowCursor);
    setFrameShape(QFrame::Box);

    moveBtn = new QToolButton(this);
    moveBtn->setObjectName(QStringLiteral("pipMoveBtn"));
    moveBtn->setIcon(QIcon(QStringLiteral(":/Image/pics/pipMove.png")));
    moveBtn->setIconSize(QSize(ButtonSize, ButtonSize));
    moveBtn->setFixedSize(ButtonSize, ButtonSize);
    moveBtn->setAutoRaise(true);
    moveBtn->setToolTip(tr("Move to the next corner"));
    connect(moveBtn, &QToolButton::clicked, this, &PipView::btnPressed);
    placeMoveButton();
}

void PipView::setCornerIndex(int index)
{
    corner = ((index % 4) + 4) % 4;
}

void PipView::btnPressed()
{
    Q_EMIT movePressed();
}

void PipView::centreView(QWidget *view)
{
    if (!view)
        return;
    if (view->parentWidget() != this)
        view->setParent(this);
    QRect placed(QPoint(), view->size().boundedTo(contentsRect().size()));
    placed.moveCenter(contentsRect().center());
    view->setGeometry(placed);
    view->show();
    // The button must stay clickable over whatever picture the frame holds.
    moveBtn->raise();
}

QRect PipView::cornerGeometry(const QRect &area, const QSize &size, int corner)
{
    QRect frame(QPoint(), size);
    switch (((corner % 4) + 4) % 4) {
    case TopRight:
        frame.moveTopRight(area.topRight());
        break;
    case BottomRight:
        frame.moveBottomRight(area.bottomRight());
        break;
    case BottomLeft:
        frame.moveBottomLeft(area.bottomLeft());
        break;
    default:
        frame.moveTopLeft(area.topLeft());
        break;
    }
    return frame;
}

void PipView::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    placeMoveButton();
}

void PipView::placeMoveButton()
{
    const QRect inside = contentsRect();
    moveBtn->move(inside.right() - moveBtn->width() + 1, inside.bottom() - moveBtn->height() + 1);
    moveBtn->raise();
}
