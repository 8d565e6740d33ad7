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
    if (creatingItem) {
        // The item stays in its scene (which frees it), but a tool that dies mid-gesture has
        // lost track of it, which is worth knowing about.
        qWarning("Warning: BaseTool::creatingItem = 0x%llX may cause memory leak",
                 static_cast<unsigned long long>(reinterpret_cast<quintptr>(creatingItem)));
    }
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
    creatingItem = nullptr;
}

void BaseTool::startGraphic(BaseGraphic *graphic, QGraphicsSceneMouseEvent *event,
                            const QString &beginFailure)
{
    Canvas *canvas = editor->canvas();
    QGraphicsItem *item = graphic->graphicsItem();
    item->setZValue(canvas->nextTopZ());
    if (!graphic->beginCreate(event->scenePos())) {
        delete graphic;
        event->accept();
        editor->showWarning(beginFailure);
        return;
    }
    canvas->addItem(item);
    creatingItem = graphic;
    editor->notifyChanged();
    editor->record(new UndoNewGraphic(item));
    event->accept();
}

void BaseTool::continueGraphic(QGraphicsSceneMouseEvent *event)
{
    if (creatingItem && creatingItem->updateCreate(event->scenePos()))
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
    if (CanvasView *view = editor->mainView())
        view->setDirty(true);
    creatingItem = nullptr;
    event->accept();
}
