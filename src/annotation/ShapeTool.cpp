#include "ShapeTool.h"

#include "CanvasEditor.h"
#include "ShapeGraphic.h"

#include <QGraphicsSceneMouseEvent>

#include <new>

void ShapeTool::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || isCreating()) {
        event->ignore();
        return;
    }
    const auto kind = static_cast<quint32>(editor->shapeKind());
    auto *shape = new (std::nothrow) ShapeGraphic(kind);
    if (!shape) {
        event->accept();
        editor->showWarning(CanvasEditor::insufficientMemoryText());
        return;
    }
    QPen pen = editor->pen();
    pen.setJoinStyle(ShapeGraphic::joinStyle(kind));
    shape->setPen(pen);
    shape->setBrush(editor->brush());
    startGraphic(shape, event, CanvasEditor::notEnoughMemoryText(), ShapeGraphic::ClickDraws);
}

void ShapeTool::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (creatingItem)
        creatingItem->setFreeAspect(editor->isFreeAspect());
    continueGraphic(event);
}

void ShapeTool::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    finishGraphic(event);
}

void ShapeTool::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    event->accept();
}
