#include "Canvas.h"

#include "BaseTool.h"
#include "CanvasEditor.h"

#include <QGraphicsSceneMouseEvent>

Canvas::Canvas(QObject *parent)
    : CanvasScene(parent)
{ }

QPoint Canvas::nextInsertPos()
{
    const QPoint pos(insertX, insertY);
    insertX = (insertX + InsertStep) % InsertWrap;
    insertY = (insertY + InsertStep) % InsertWrap;
    return pos;
}

BaseTool *Canvas::currentTool() const
{
    return ownerEditor ? ownerEditor->currentTool() : nullptr;
}

// A tool that accepts an event has handled it completely; the scene must not also start a
// selection or a move with it.
void Canvas::forward(QGraphicsSceneMouseEvent *event,
                     void (BaseTool::*toolHandler)(QGraphicsSceneMouseEvent *),
                     const std::function<void()> &sceneHandler)
{
    event->ignore();
    if (BaseTool *tool = currentTool())
        (tool->*toolHandler)(event);
    if (!event->isAccepted())
        sceneHandler();
}

void Canvas::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    forward(event, &BaseTool::mousePressEvent, [&] { CanvasScene::mousePressEvent(event); });
}

void Canvas::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    forward(event, &BaseTool::mouseMoveEvent, [&] { CanvasScene::mouseMoveEvent(event); });
}

void Canvas::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    forward(event, &BaseTool::mouseReleaseEvent, [&] { CanvasScene::mouseReleaseEvent(event); });
}

void Canvas::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    forward(event, &BaseTool::mouseDoubleClickEvent,
            [&] { CanvasScene::mouseDoubleClickEvent(event); });
}
