#pragma once

#include "BaseTool.h"

#include <memory>

class QGraphicsTextItem;
class QUndoCommand;

/// Places text boxes with a click and ends their editing with a click beside them.
///
/// A new box is recorded for undo only when its editing ends with some text in it: the tool
/// holds its command until then, and a box left empty simply disappears.
class TextTool : public BaseTool
{
public:
    explicit TextTool(CanvasEditor *editor);
    ~TextTool() override;

    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

    /// The held command of `item`, for the undo stack; null when none is held for it.
    QUndoCommand *takeHeldCommand(const QGraphicsTextItem *item);
    /// Drops the held command of `item`; false when none was held for it (the box is already
    /// in the undo history).
    bool discardHeldCommand(const QGraphicsTextItem *item);

private:
    void createText(QGraphicsSceneMouseEvent *event);

    std::unique_ptr<QUndoCommand> heldCommand;
    const QGraphicsTextItem *heldItem = nullptr;
};
