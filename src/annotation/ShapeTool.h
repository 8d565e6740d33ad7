#pragma once

#include "BaseTool.h"

/// Draws closed shapes of the editor's current kind by dragging their bounding rectangle. The
/// outline uses the editor's pen with the join the kind needs, the fill the editor's brush.
class ShapeTool : public BaseTool
{
public:
    using BaseTool::BaseTool;

    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    /// Takes the editor's free-aspect flag before each update, so holding the key that keeps
    /// the sides equal works in the middle of a drag.
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;
};
