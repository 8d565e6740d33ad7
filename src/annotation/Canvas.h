#pragma once

#include "CanvasScene.h"

#include <QPoint>

#include <functional>

class BaseTool;
class CanvasEditor;

/// The scene the annotation tools draw on. Mouse events go to the owning editor's current tool
/// first; whatever the tool leaves ignored gets the scene's own handling (selection, moving,
/// text editing).
class Canvas : public CanvasScene
{
    Q_OBJECT

public:
    /// Inserted pictures cascade in steps of InsertStep and start again at the top left once
    /// they reach InsertWrap.
    static constexpr int InsertStep = 20;
    static constexpr int InsertWrap = 400;

    explicit Canvas(QObject *parent = nullptr);

    /// Where the next inserted picture goes; each call moves the position one step on.
    QPoint nextInsertPos();

    CanvasEditor *owner() const { return ownerEditor; }
    void setOwner(CanvasEditor *editor) { ownerEditor = editor; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;

private:
    BaseTool *currentTool() const;
    void forward(QGraphicsSceneMouseEvent *event,
                 void (BaseTool::*toolHandler)(QGraphicsSceneMouseEvent *),
                 const std::function<void()> &sceneHandler);

    int insertX = 0;
    int insertY = 0;
    CanvasEditor *ownerEditor = nullptr;
};
