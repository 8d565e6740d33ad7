#pragma once

#include "BaseTool.h"

#include <QList>
#include <QPointF>

class QGraphicsItem;
class QPainterPath;

/// Erases whole items: each pointer event of a left-button drag takes the topmost item under
/// the pointer's path out of the canvas, and the whole drag becomes one undo step.
class EraserTool : public BaseTool
{
public:
    using BaseTool::BaseTool;
    ~EraserTool() override;

    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    void eraseTopmost(const QPainterPath &area);

    QList<QGraphicsItem *> erased;
    QPointF lastPoint;
};
