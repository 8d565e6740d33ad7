#pragma once

#include <QPointF>
#include <QString>

class BaseGraphic;
class CanvasEditor;
class QGraphicsSceneMouseEvent;

/// A tool turns the mouse gestures on a canvas into items. The canvas hands each mouse event to
/// the editor's current tool first; an event the tool leaves ignored gets the scene's own
/// handling. This base ignores every event, which is all the move tool needs: the view's hand
/// scrolling does its work.
///
/// A gesture runs from press to release; while it runs the tool holds the item being created,
/// and the editor refuses tool changes and edits.
class BaseTool
{
public:
    explicit BaseTool(CanvasEditor *editor);
    virtual ~BaseTool();

    BaseTool(const BaseTool &) = delete;
    BaseTool &operator=(const BaseTool &) = delete;

    virtual void mousePressEvent(QGraphicsSceneMouseEvent *event);
    virtual void mouseMoveEvent(QGraphicsSceneMouseEvent *event);
    virtual void mouseReleaseEvent(QGraphicsSceneMouseEvent *event);
    virtual void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event);
    /// Forgets the item being created; the item stays where it is, finished as it stands.
    virtual void reset();

    bool isCreating() const { return creatingItem != nullptr; }
    BaseGraphic *creating() const { return creatingItem; }

protected:
    /// The shared second half of a drawing tool's press: beginCreate() (showing `beginFailure`
    /// and dropping the item when it fails), then placing the item on the canvas. An item that a
    /// click alone does not draw (`clickDraws` false) is placed only once the pointer leaves the
    /// press point, so that a click creates nothing and leaves no undo step.
    void startGraphic(BaseGraphic *graphic, QGraphicsSceneMouseEvent *event,
                      const QString &beginFailure, bool clickDraws);
    /// Extends the gesture; the event is accepted only when the item changed.
    void continueGraphic(QGraphicsSceneMouseEvent *event);
    void finishGraphic(QGraphicsSceneMouseEvent *event);

    CanvasEditor *editor;
    BaseGraphic *creatingItem = nullptr;

private:
    /// Gives the item being created its z order, adds it to the canvas and records it for undo.
    void place();
    /// Ends the gesture; an item never placed is deleted.
    void forget();

    bool placed = false;
    QPointF pressPos;
};
