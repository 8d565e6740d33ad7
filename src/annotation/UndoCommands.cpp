#include "UndoCommands.h"

#include "BaseGraphic.h"
#include "FreehandGraphic.h"
#include "HiliterGraphic.h"
#include "ShapeGraphic.h"
#include "TextGraphic.h"

#include <QCoreApplication>
#include <QGraphicsLineItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>

namespace UndoText {

QString move()
{
    return QCoreApplication::translate("UndoText", "Undo Move");
}

QString deletion()
{
    return QCoreApplication::translate("UndoText", "Undo Delete");
}

QString opacity()
{
    return QCoreApplication::translate("UndoText", "Undo Opacity");
}

QString rotate()
{
    return QCoreApplication::translate("UndoText", "Undo Rotate");
}

QString scale()
{
    return QCoreApplication::translate("UndoText", "Undo Scale");
}

QString mirror()
{
    return QCoreApplication::translate("UndoText", "Undo Mirror");
}

QString flip()
{
    return QCoreApplication::translate("UndoText", "Undo Flip");
}

QString bringToFront()
{
    return QCoreApplication::translate("UndoText", "Undo Bring to Front");
}

QString sendToBack()
{
    return QCoreApplication::translate("UndoText", "Undo Send to Back");
}

QString bringForward()
{
    return QCoreApplication::translate("UndoText", "Undo Bring Forward");
}

QString sendBackward()
{
    return QCoreApplication::translate("UndoText", "Undo Send Backward");
}

QString clone()
{
    return QCoreApplication::translate("UndoText", "Undo Clone");
}

QString insertImageFile()
{
    return QCoreApplication::translate("UndoText", "Undo Insert Image File");
}

QString clearAll()
{
    return QCoreApplication::translate("UndoText", "Undo Clear All");
}

QString eraser()
{
    return QCoreApplication::translate("UndoText", "Undo Eraser");
}

QString freehand()
{
    return QCoreApplication::translate("UndoText", "Undo Freehand");
}

QString line()
{
    return QCoreApplication::translate("UndoText", "Undo Line");
}

QString text()
{
    return QCoreApplication::translate("UndoText", "Undo Text");
}

QString shape()
{
    return QCoreApplication::translate("UndoText", "Undo Shape");
}

QString highlighter()
{
    return QCoreApplication::translate("UndoText", "Undo Highlighter");
}

} // namespace UndoText

namespace {

QString newGraphicText(const QGraphicsItem *item)
{
    switch (item->type()) {
    case FreehandGraphic::Type:
        return UndoText::freehand();
    case HiliterGraphic::Type:
        return UndoText::highlighter();
    case QGraphicsLineItem::Type:
        return UndoText::line();
    case QGraphicsPixmapItem::Type:
        return UndoText::insertImageFile();
    case TextGraphic::Type:
        return UndoText::text();
    case ShapeGraphic::Type:
        return UndoText::shape();
    default:
        return {};
    }
}

/// Some items must be told before an undo step takes them out of their scene.
void announceLeavingScene(QGraphicsItem *item)
{
    BaseGraphic *graphic = BaseGraphic::fromItem(item);
    if (graphic && graphic->hasCapability(BaseGraphic::CapLeaveSceneHook))
        graphic->aboutToLeaveScene();
}

} // namespace

UndoExchangeCommand::UndoExchangeCommand(const QString &text, QUndoCommand *parent)
    : QUndoCommand(text, parent)
{ }

void UndoExchangeCommand::undo()
{
    undone = true;
    exchange();
}

void UndoExchangeCommand::redo()
{
    // The change was made before the push; only a redo after an undo has work to do.
    if (!undone)
        return;
    undone = false;
    exchange();
}

UndoNewGraphic::UndoNewGraphic(QGraphicsItem *item, QUndoCommand *parent)
    : QUndoCommand(newGraphicText(item), parent)
    , item(item)
{ }

UndoNewGraphic::~UndoNewGraphic()
{
    // An undone creation holds the item out of the scene: nobody else will free it.
    if (undone)
        delete item;
}

void UndoNewGraphic::undo()
{
    undone = true;
    scene = item->scene();
    if (scene) {
        announceLeavingScene(item);
        scene->removeItem(item);
    }
}

void UndoNewGraphic::redo()
{
    if (!undone)
        return;
    undone = false;
    if (scene)
        scene->addItem(item);
}

UndoDeleteGraphic::UndoDeleteGraphic(QGraphicsScene *scene, QGraphicsItem *item,
                                     QUndoCommand *parent)
    : QUndoCommand(UndoText::deletion(), parent)
    , scene(scene)
    , item(item)
{ }

UndoDeleteGraphic::~UndoDeleteGraphic()
{
    // While the deletion is in force the item is out of the scene and only this command has it.
    if (!undone)
        delete item;
}

void UndoDeleteGraphic::undo()
{
    undone = true;
    if (scene)
        scene->addItem(item);
}

void UndoDeleteGraphic::redo()
{
    if (!undone)
        return;
    undone = false;
    if (scene) {
        announceLeavingScene(item);
        scene->removeItem(item);
    }
}

UndoMoveGraphic::UndoMoveGraphic(QGraphicsItem *item, const QPointF &oldPos, QUndoCommand *parent)
    : UndoExchangeCommand(UndoText::move(), parent)
    , item(item)
    , otherPos(oldPos)
{ }

void UndoMoveGraphic::exchange()
{
    const QPointF current = item->pos();
    item->setPos(otherPos);
    otherPos = current;
}

UndoOpacityGraphic::UndoOpacityGraphic(QGraphicsItem *item, qreal oldOpacity, QUndoCommand *parent)
    : UndoExchangeCommand(UndoText::opacity(), parent)
    , item(item)
    , otherOpacity(oldOpacity)
{ }

void UndoOpacityGraphic::exchange()
{
    const qreal current = item->opacity();
    item->setOpacity(otherOpacity);
    otherOpacity = current;
}

UndoZorderGraphic::UndoZorderGraphic(QGraphicsItem *item, qreal oldZ, QUndoCommand *parent)
    : UndoExchangeCommand(QString(), parent)
    , item(item)
    , otherZ(oldZ)
{ }

void UndoZorderGraphic::exchange()
{
    const qreal current = item->zValue();
    item->setZValue(otherZ);
    otherZ = current;
}

UndoScaleGraphic::UndoScaleGraphic(BaseGraphic *graphic, qreal oldScale, QUndoCommand *parent)
    : UndoExchangeCommand(UndoText::scale(), parent)
    , graphic(graphic)
    , otherScale(oldScale)
{ }

void UndoScaleGraphic::exchange()
{
    const qreal current = graphic->scale();
    graphic->setScale(otherScale);
    otherScale = current;
}

UndoRotateGraphic::UndoRotateGraphic(BaseGraphic *graphic, qreal oldDegree, QUndoCommand *parent)
    : UndoExchangeCommand(UndoText::rotate(), parent)
    , graphic(graphic)
    , otherDegree(oldDegree)
{ }

void UndoRotateGraphic::exchange()
{
    const qreal current = graphic->degree();
    graphic->setDegree(otherDegree);
    otherDegree = current;
}

UndoFlipGraphic::UndoFlipGraphic(BaseGraphic *graphic, QUndoCommand *parent)
    : UndoExchangeCommand(UndoText::flip(), parent)
    , graphic(graphic)
{ }

void UndoFlipGraphic::exchange()
{
    graphic->flip();
}

UndoMirrorGraphic::UndoMirrorGraphic(BaseGraphic *graphic, QUndoCommand *parent)
    : UndoExchangeCommand(UndoText::mirror(), parent)
    , graphic(graphic)
{ }

void UndoMirrorGraphic::exchange()
{
    graphic->mirror();
}
