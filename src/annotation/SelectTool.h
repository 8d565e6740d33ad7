#pragma once

#include "BaseTool.h"

#include <Qt>

/// Selection and moving are the view's rubber band and the items' own moving; this tool only
/// records a drag of the selection as one undo step, before the scene moves anything.
class SelectTool : public BaseTool
{
public:
    using BaseTool::BaseTool;

    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    Qt::MouseButton pressedButton = Qt::NoButton;
    bool moved = false;
};
