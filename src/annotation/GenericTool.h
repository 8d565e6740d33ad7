#pragma once

#include "BaseGraphic.h"
#include "BaseTool.h"
#include "CanvasEditor.h"

#include <QGraphicsSceneMouseEvent>

#include <new>

/// Draws items of type Graphic (freehand strokes, lines, highlighter strokes) with the left
/// button: the item takes the editor's pen, anchors and brush as far as it has those
/// capabilities, and follows the pointer from press to release.
template<typename Graphic> class GenericTool : public BaseTool
{
public:
    using BaseTool::BaseTool;

    void mousePressEvent(QGraphicsSceneMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton || isCreating()) {
            event->ignore();
            return;
        }
        auto *graphic = new (std::nothrow) Graphic;
        if (!graphic) {
            event->accept();
            editor->showWarning(CanvasEditor::notEnoughMemoryText());
            return;
        }
        if (graphic->hasCapability(BaseGraphic::CapPen))
            graphic->setPen(editor->pen());
        if (graphic->hasCapability(BaseGraphic::CapAnchors)) {
            graphic->setStartAnchor(editor->startAnchor());
            graphic->setEndAnchor(editor->endAnchor());
        }
        if (graphic->hasCapability(BaseGraphic::CapBrush))
            graphic->setBrush(editor->brush());
        startGraphic(graphic, event, CanvasEditor::insufficientMemoryText(), Graphic::ClickDraws);
    }

    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override { continueGraphic(event); }
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override { finishGraphic(event); }
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override { event->accept(); }
};
