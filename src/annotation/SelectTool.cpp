#include "SelectTool.h"

#include "Canvas.h"
#include "CanvasEditor.h"
#include "CanvasView.h"
#include "UndoCommands.h"

#include <QGraphicsItem>
#include <QGraphicsSceneMouseEvent>
#include <QUndoStack>

#include <memory>

void SelectTool::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    pressedButton = event->button();
    moved = false;
    event->ignore();
}

void SelectTool::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
    Canvas *canvas = editor->canvas();
    if (!canvas)
        return;
    QGraphicsItem *under = canvas->itemAt(event->scenePos(), QTransform());
    if (CanvasView *view = editor->mainView())
        view->viewport()->setCursor(under ? Qt::SizeAllCursor : Qt::ArrowCursor);

    const QList<QGraphicsItem *> selected = canvas->selectedItems();
    if (!(event->buttons() & Qt::LeftButton) || selected.isEmpty() || moved)
        return;
    // The scene moves the selection when the press landed on a selected item; a fast first
    // move may already have left that item behind, so the press point decides.
    QGraphicsItem *grabbed
            = canvas->itemAt(event->buttonDownScenePos(Qt::LeftButton), QTransform());
    if (!grabbed || !selected.contains(grabbed->topLevelItem()))
        return;
    // The scene moves the items after this handler, so their positions are still the ones
    // from before the drag.
    auto macro = std::make_unique<QUndoCommand>(UndoText::move());
    for (QGraphicsItem *item : selected)
        new UndoMoveGraphic(item, item->pos(), macro.get());
    editor->record(macro.release());
    moved = true;
}

void SelectTool::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
    if (moved)
        editor->notifyChanged();
    pressedButton = Qt::NoButton;
}
