#pragma once

#include <QPointF>
#include <QString>
#include <QUndoCommand>

class BaseGraphic;
class QGraphicsItem;
class QGraphicsScene;

/// The texts of the annotation's undo steps. The commands name themselves with these, and the
/// editor names its macros with them, so a translator meets each text once.
namespace UndoText {
QString move();
QString deletion();
QString opacity();
QString rotate();
QString scale();
QString mirror();
QString flip();
QString bringToFront();
QString sendToBack();
QString bringForward();
QString sendBackward();
QString clone();
QString insertImageFile();
QString clearAll();
QString eraser();
QString freehand();
QString line();
QString text();
QString shape();
QString highlighter();
} // namespace UndoText

// The commands keep plain pointers to their items and scenes. Destroying the scene before the
// stack or the stack before the scene frees every item exactly once, but once the scene is gone
// the stack may only be cleared or destroyed, not undone or redone.

/// Shared behaviour of the commands that swap one value of an item.
///
/// The editor pushes a command after it has already changed the item, so the redo() that
/// QUndoStack::push() performs must leave the item alone; from then on undo() and redo()
/// alternate, and each swaps the value kept by the command with the item's current one.
class UndoExchangeCommand : public QUndoCommand
{
public:
    void undo() final;
    void redo() final;

protected:
    explicit UndoExchangeCommand(const QString &text, QUndoCommand *parent);

    /// Puts the kept value on the item and keeps the item's previous value instead.
    virtual void exchange() = 0;

private:
    bool undone = false;
};

/// A new item that was already added to its scene. Undoing takes it out of the scene and the
/// command then owns it until a redo puts it back, so an undone creation that the stack
/// discards (a new push after undo, clear(), the stack's end) destroys the item.
class UndoNewGraphic : public QUndoCommand
{
public:
    explicit UndoNewGraphic(QGraphicsItem *item, QUndoCommand *parent = nullptr);
    ~UndoNewGraphic() override;

    void undo() override;
    void redo() override;

private:
    QGraphicsItem *item;
    /// Where the item goes back on redo.
    QGraphicsScene *scene = nullptr;
    bool undone = false;
};

/// An item that the caller has already taken out of the scene. While the deletion is in force
/// the command owns the item, so a deletion that the stack drops without undoing it destroys
/// the item; an undone deletion leaves it to the scene.
class UndoDeleteGraphic : public QUndoCommand
{
public:
    UndoDeleteGraphic(QGraphicsScene *scene, QGraphicsItem *item, QUndoCommand *parent = nullptr);
    ~UndoDeleteGraphic() override;

    void undo() override;
    void redo() override;

private:
    QGraphicsScene *scene;
    QGraphicsItem *item;
    bool undone = false;
};

/// An item moved away from `oldPos`.
class UndoMoveGraphic : public UndoExchangeCommand
{
public:
    UndoMoveGraphic(QGraphicsItem *item, const QPointF &oldPos, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    QGraphicsItem *item;
    QPointF otherPos;
};

/// An item whose opacity was `oldOpacity`.
class UndoOpacityGraphic : public UndoExchangeCommand
{
public:
    UndoOpacityGraphic(QGraphicsItem *item, qreal oldOpacity, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    QGraphicsItem *item;
    qreal otherOpacity;
};

/// An item whose z value was `oldZ`. It has no text of its own: the editor pushes it inside a
/// macro that names the kind of reordering.
class UndoZorderGraphic : public UndoExchangeCommand
{
public:
    UndoZorderGraphic(QGraphicsItem *item, qreal oldZ, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    QGraphicsItem *item;
    qreal otherZ;
};

/// A graphic whose scale was `oldScale`. The value goes through BaseGraphic::setScale(), so the
/// capability check and the transform rebuild apply to undo and redo as to the edit itself.
class UndoScaleGraphic : public UndoExchangeCommand
{
public:
    UndoScaleGraphic(BaseGraphic *graphic, qreal oldScale, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    BaseGraphic *graphic;
    qreal otherScale;
};

/// A graphic whose rotation was `oldDegree`, applied back through BaseGraphic::setDegree().
class UndoRotateGraphic : public UndoExchangeCommand
{
public:
    UndoRotateGraphic(BaseGraphic *graphic, qreal oldDegree, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    BaseGraphic *graphic;
    qreal otherDegree;
};

/// A graphic flipped top to bottom. Flipping is its own inverse, so there is no value to keep.
class UndoFlipGraphic : public UndoExchangeCommand
{
public:
    explicit UndoFlipGraphic(BaseGraphic *graphic, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    BaseGraphic *graphic;
};

/// A graphic mirrored left to right; its own inverse like UndoFlipGraphic.
class UndoMirrorGraphic : public UndoExchangeCommand
{
public:
    explicit UndoMirrorGraphic(BaseGraphic *graphic, QUndoCommand *parent = nullptr);

protected:
    void exchange() override;

private:
    BaseGraphic *graphic;
};
