#pragma once

#include <Canvas.h>
#include <CanvasEditor.h>
#include <CanvasView.h>

#include <QCoreApplication>
#include <QGraphicsItem>
#include <QMouseEvent>
#include <QTest>

/// Sends the mouse events a user's hand makes to a view's viewport. Moves carry the buttons
/// held, which QTest's own moves do not promise.
class Pointer
{
public:
    explicit Pointer(QGraphicsView *view)
        : view(view)
    { }

    QPoint at(const QPointF &scenePos) const { return view->mapFromScene(scenePos); }

    void press(const QPointF &scenePos, Qt::MouseButton button = Qt::LeftButton)
    {
        held = button;
        QTest::mousePress(view->viewport(), button, {}, at(scenePos));
    }
    void move(const QPointF &scenePos)
    {
        const QPoint pos = at(scenePos);
        QMouseEvent event(QEvent::MouseMove, pos, view->viewport()->mapToGlobal(pos), Qt::NoButton,
                          held, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &event);
    }
    void release(const QPointF &scenePos)
    {
        QTest::mouseRelease(view->viewport(), held, {}, at(scenePos));
        held = Qt::NoButton;
    }
    /// Press, one move per further point, release at the last point: one point is a click.
    void drag(const QList<QPointF> &points, Qt::MouseButton button = Qt::LeftButton)
    {
        press(points.first(), button);
        for (const QPointF &point : points.mid(1))
            move(point);
        release(points.last());
    }

private:
    QGraphicsView *view;
    Qt::MouseButton held = Qt::NoButton;
};

/// A canvas shown one to one in a window of its own size, driven by an editor.
struct CanvasBoard
{
    CanvasBoard()
        : view(&canvas)
        , pointer(&view)
    {
        view.setFrameShape(QFrame::NoFrame);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(canvas.sceneRect().size().toSize());
        editor.addView(&view);
        view.show();
    }

    /// The annotation items in stacking order, bottom first.
    QList<QGraphicsItem *> items() const
    {
        QList<QGraphicsItem *> all = canvas.items(Qt::AscendingOrder);
        all.removeIf([](const QGraphicsItem *item) { return item->parentItem() != nullptr; });
        return all;
    }

    // The scene goes last: the editor's undo history refers to its items.
    Canvas canvas;
    CanvasView view;
    CanvasEditor editor;
    Pointer pointer;
};
