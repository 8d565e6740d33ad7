#include "BaseTool.h"

#include "BaseGraphic.h"
#include "Canvas.h"
#include "CanvasEditor.h"
#include "CanvasView.h"
#include "UndoCommands.h"

#include <QGraphicsItem>
#include <QGraphicsSceneMouseEvent>

BaseTool::BaseTool(CanvasEditor *editor)
    : editor(editor)
{ }

BaseTool::~BaseTool()
{
    if (creatingItem && placed) {
        // The item stays in its scene (which frees it), but a tool that dies mid-gesture has
        // lost track of it, which is worth knowing about.
        qWarning("Warning: BaseTool::creatingItem = 0x%llX may cause memory leak",
                 static_cast<unsigned long long>(reinterpret_cast<quintptr>(creatingItem)));
    }
    if (!placed)
        delete creatingItem;
}

void BaseTool::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
}

void BaseTool::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
}

void BaseTool::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
}

void BaseTool::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
}

void BaseTool::reset()
{
    if (creatingItem && creatingItem->isCreating())
        creatingItem->endCreate();
    forget();
}

void BaseTool::startGraphic(BaseGraphic *graphic, QGraphicsSceneMouseEvent *event,
                            const QString &beginFailure, bool clickDraws)
{
    if (!graphic->beginCreate(event->scenePos())) {
        delete graphic;
        event->accept();
        editor->showWarning(beginFailure);
        return;
    }
    creatingItem = graphic;
    placed = false;
    pressPos = event->scenePos();
    if (clickDraws)
        place();
    event->accept();
}

void BaseTool::place()
{
    Canvas *canvas = editor->canvas();
    QGraphicsItem *item = creatingItem->graphicsItem();
    item->setZValue(canvas->nextTopZ());
    canvas->addItem(item);
    placed = true;
    editor->notifyChanged();
    editor->record(new UndoNewGraphic(item));
}

void BaseTool::forget()
{
    if (!placed)
        delete creatingItem;
    creatingItem = nullptr;
    placed = false;
}

void BaseTool::continueGraphic(QGraphicsSceneMouseEvent *event)
{
    if (creatingItem && !placed && event->scenePos() != pressPos)
        place();
    if (placed && creatingItem->updateCreate(event->scenePos()))
        event->accept();
    else
        event->ignore();
}

void BaseTool::finishGraphic(QGraphicsSceneMouseEvent *event)
{
    if (!creatingItem) {
        event->ignore();
        return;
    }
    creatingItem->endCreate();
    if (CanvasView *view = editor->mainView(); view && placed)
        view->setDirty(true);
    forget();
    event->accept();
}
