#include "EraserTool.h"

#include "BaseGraphic.h"
#include "Canvas.h"
#include "CanvasEditor.h"
#include "CanvasView.h"
#include "UndoCommands.h"

#include <QGraphicsItem>
#include <QGraphicsSceneMouseEvent>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QUndoCommand>

#include <memory>

EraserTool::~EraserTool()
{
    // Items erased by a drag that never ended are out of every scene: nobody else frees them.
    qDeleteAll(erased);
}

void EraserTool::eraseTopmost(const QPainterPath &area)
{
    Canvas *canvas = editor->canvas();
    if (!canvas)
        return;
    const QList<QGraphicsItem *> hit
            = canvas->items(area, Qt::IntersectsItemShape, Qt::DescendingOrder);
    if (hit.isEmpty())
        return;
    QGraphicsItem *topmost = hit.first()->topLevelItem();
    if (BaseGraphic::fromItem(topmost) && editor->takeOutOfScene(topmost))
        erased.append(topmost);
}

void EraserTool::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    qDeleteAll(erased);
    erased.clear();
    lastPoint = event->scenePos();
    QPainterPath square;
    square.addRect(QRectF(lastPoint - QPointF(0.5, 0.5), QSizeF(1, 1)));
    eraseTopmost(square);
    event->accept();
}

void EraserTool::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    // A segment has no area, so it is widened to the one-unit square the press uses.
    QPainterPath segment(lastPoint);
    segment.lineTo(event->scenePos());
    QPainterPathStroker stroker;
    stroker.setWidth(1.0);
    stroker.setCapStyle(Qt::SquareCap);
    eraseTopmost(stroker.createStroke(segment));
    lastPoint = event->scenePos();
    event->accept();
}

void EraserTool::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (erased.isEmpty())
        return;
    auto macro = std::make_unique<QUndoCommand>(UndoText::eraser());
    for (QGraphicsItem *item : std::as_const(erased))
        new UndoDeleteGraphic(editor->canvas(), item, macro.get());
    erased.clear();
    editor->record(macro.release());
    if (CanvasView *view = editor->mainView())
        view->setDirty(true);
    editor->notifyChanged();
}
