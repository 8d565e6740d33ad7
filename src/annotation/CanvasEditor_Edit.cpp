// The editor's commands on the selection and on the whole canvas, and the insertion of
// pictures.

#include "BaseGraphic.h"
#include "Canvas.h"
#include "CanvasEditor.h"
#include "CanvasView.h"
#include "GraphicFactory.h"
#include "ImageGraphic.h"
#include "UndoCommands.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QImageReader>
#include <QStandardPaths>
#include <QUndoStack>

#include <algorithm>
#include <memory>
#include <new>

namespace {

/// Shows the wait cursor until it goes out of scope or a message must be shown.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (active)
            QApplication::restoreOverrideCursor();
        active = false;
    }

private:
    bool active = true;
};

/// Top-level items of `scene` from the bottom of the stack up.
QList<QGraphicsItem *> stackedItems(const QGraphicsScene *scene)
{
    QList<QGraphicsItem *> items = scene->items(Qt::AscendingOrder);
    items.removeIf([](const QGraphicsItem *item) { return item->parentItem() != nullptr; });
    return items;
}

/// Sets one value of `graphic` through its own setter, which may refuse or adjust it; a
/// command is made only when the value really changed.
template<typename Command>
QUndoCommand *setGraphicValue(BaseGraphic *graphic, qreal (BaseGraphic::*get)() const,
                              void (BaseGraphic::*set)(qreal), qreal value, QUndoCommand *macro)
{
    const qreal old = (graphic->*get)();
    (graphic->*set)(value);
    if ((graphic->*get)() == old)
        return nullptr;
    return new Command(graphic, old, macro);
}

} // namespace

QList<BaseGraphic *> CanvasEditor::editableSelection() const
{
    Canvas *scene = canvas();
    if (!mainCanvasView || isCreating() || !scene)
        return {};
    QList<BaseGraphic *> selection;
    const QList<QGraphicsItem *> stacked = stackedItems(scene);
    for (QGraphicsItem *item : stacked) {
        if (!item->isSelected())
            continue;
        if (BaseGraphic *graphic = BaseGraphic::fromItem(item))
            selection.append(graphic);
    }
    return selection;
}

bool CanvasEditor::changeSelection(const QString &macroText, quint32 capability,
                                   const Change &change)
{
    const QList<BaseGraphic *> selection = editableSelection();
    if (selection.isEmpty())
        return false;
    // Commands pushed under one parent undo and redo together, like a macro, but a parent
    // that collected nothing is simply dropped instead of leaving an empty undo step.
    auto macro = std::make_unique<QUndoCommand>(macroText);
    for (BaseGraphic *graphic : selection) {
        if (graphic->hasCapability(capability))
            change(graphic, macro.get());
    }
    if (macro->childCount() == 0)
        return false;
    record(macro.release());
    notifyChanged();
    return true;
}

void CanvasEditor::editDelete()
{
    Canvas *scene = canvas();
    changeSelection(UndoText::deletion(), BaseGraphic::CapDelete,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        QGraphicsItem *item = graphic->graphicsItem();
                        if (!takeOutOfScene(item))
                            return nullptr;
                        return new UndoDeleteGraphic(scene, item, macro);
                    });
}

void CanvasEditor::editSetOpacity(qreal newOpacity)
{
    changeSelection(UndoText::opacity(), BaseGraphic::CapOpacity,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        QGraphicsItem *item = graphic->graphicsItem();
                        const qreal old = item->opacity();
                        if (qFuzzyCompare(old, newOpacity))
                            return nullptr;
                        item->setOpacity(newOpacity);
                        return new UndoOpacityGraphic(item, old, macro);
                    });
}

void CanvasEditor::editScale(qreal newScale)
{
    changeSelection(UndoText::scale(), BaseGraphic::CapScaleX | BaseGraphic::CapScaleY,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) {
                        return setGraphicValue<UndoScaleGraphic>(graphic, &BaseGraphic::scale,
                                                                 &BaseGraphic::setScale, newScale,
                                                                 macro);
                    });
}

void CanvasEditor::editRotate(qreal newDegree)
{
    changeSelection(UndoText::rotate(), BaseGraphic::CapRotate,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) {
                        return setGraphicValue<UndoRotateGraphic>(graphic, &BaseGraphic::degree,
                                                                  &BaseGraphic::setDegree,
                                                                  newDegree, macro);
                    });
}

void CanvasEditor::editFlip()
{
    changeSelection(UndoText::flip(), BaseGraphic::CapFlip,
                    [](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        graphic->flip();
                        return new UndoFlipGraphic(graphic, macro);
                    });
}

void CanvasEditor::editMirror()
{
    changeSelection(UndoText::mirror(), BaseGraphic::CapMirror,
                    [](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        graphic->mirror();
                        return new UndoMirrorGraphic(graphic, macro);
                    });
}

void CanvasEditor::editBringToFront()
{
    const QList<BaseGraphic *> selection = editableSelection();
    if (selection.size() == 1 && stackedItems(canvas()).last() == selection[0]->graphicsItem())
        return;
    Canvas *scene = canvas();
    // Bottom first, so the raised items keep their order among themselves.
    changeSelection(UndoText::bringToFront(), BaseGraphic::CapZOrder,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        QGraphicsItem *item = graphic->graphicsItem();
                        const qreal old = item->zValue();
                        item->setZValue(scene->nextTopZ());
                        return new UndoZorderGraphic(item, old, macro);
                    });
}

void CanvasEditor::editSendToBack()
{
    const QList<BaseGraphic *> selection = editableSelection();
    if (selection.size() == 1 && stackedItems(canvas()).first() == selection[0]->graphicsItem())
        return;
    Canvas *scene = canvas();
    // changeSelection() goes bottom first; taking the bottom z values in that order would
    // reverse the items, so the lowest gets the last (lowest) value.
    QList<QGraphicsItem *> order;
    for (BaseGraphic *graphic : selection) {
        if (graphic->hasCapability(BaseGraphic::CapZOrder))
            order.prepend(graphic->graphicsItem());
    }
    QHash<QGraphicsItem *, qreal> newZ;
    for (QGraphicsItem *item : std::as_const(order))
        newZ.insert(item, scene->nextBottomZ());
    changeSelection(UndoText::sendToBack(), BaseGraphic::CapZOrder,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        QGraphicsItem *item = graphic->graphicsItem();
                        const qreal old = item->zValue();
                        item->setZValue(newZ.value(item));
                        return new UndoZorderGraphic(item, old, macro);
                    });
}

QGraphicsItem *CanvasEditor::neighbour(QGraphicsItem *item, bool above) const
{
    // Items sharing a z value are level with each other; the neighbour is the nearest item
    // strictly above (or below), so that exchanging the two values always changes the order.
    QGraphicsItem *best = nullptr;
    const QList<QGraphicsItem *> stacked = stackedItems(canvas());
    for (QGraphicsItem *other : stacked) {
        const qreal z = other->zValue();
        if (above ? z <= item->zValue() : z >= item->zValue())
            continue;
        if (!best || (above ? z < best->zValue() : z > best->zValue()))
            best = other;
    }
    return best;
}

void CanvasEditor::exchangeWithNeighbours(const QString &macroText, bool above)
{
    changeSelection(macroText, BaseGraphic::CapZOrder,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        QGraphicsItem *item = graphic->graphicsItem();
                        QGraphicsItem *other = neighbour(item, above);
                        if (!other)
                            return nullptr;
                        const qreal z = item->zValue();
                        const qreal otherZ = other->zValue();
                        item->setZValue(otherZ);
                        other->setZValue(z);
                        new UndoZorderGraphic(other, otherZ, macro);
                        return new UndoZorderGraphic(item, z, macro);
                    });
}

void CanvasEditor::editBringForward()
{
    exchangeWithNeighbours(UndoText::bringForward(), true);
}

void CanvasEditor::editSendBackward()
{
    exchangeWithNeighbours(UndoText::sendBackward(), false);
}

void CanvasEditor::editClone()
{
    Canvas *scene = canvas();
    QList<QGraphicsItem *> copies;
    bool failed = false;
    changeSelection(UndoText::clone(), BaseGraphic::CapClone,
                    [&](BaseGraphic *graphic, QUndoCommand *macro) -> QUndoCommand * {
                        if (failed)
                            return nullptr;
                        std::unique_ptr<BaseGraphic> copy = GraphicFactory::clone(*graphic);
                        if (!copy) {
                            failed = true;
                            return nullptr;
                        }
                        QGraphicsItem *item = copy.release()->graphicsItem();
                        item->setZValue(scene->nextTopZ());
                        item->setPos(graphic->graphicsItem()->pos() + QPointF(20, 20));
                        scene->addItem(item);
                        copies.append(item);
                        return new UndoNewGraphic(item, macro);
                    });
    if (!copies.isEmpty()) {
        // The copies become the selection, so cloning again steps on down the canvas.
        scene->clearSelection();
        for (QGraphicsItem *item : std::as_const(copies))
            item->setSelected(true);
    }
    if (failed)
        showWarning(insufficientMemoryText());
}

void CanvasEditor::removeAllItems(Canvas *scene, bool needUndo)
{
    auto macro = std::make_unique<QUndoCommand>(UndoText::clearAll());
    const QList<QGraphicsItem *> items = stackedItems(scene);
    for (QGraphicsItem *item : items) {
        if (!takeOutOfScene(item))
            continue;
        if (needUndo)
            new UndoDeleteGraphic(scene, item, macro.get());
        else
            delete item;
    }
    if (macro->childCount() > 0)
        record(macro.release());
}

void CanvasEditor::insertImageFile(QString &prefDir)
{
    if (!mainCanvasView || isCreating())
        return;
    const QString folder = prefDir.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)
            : prefDir;
    const QStringList files = QFileDialog::getOpenFileNames(mainCanvasView, openImageTitle(),
                                                            folder, imageFilter());
    if (!files.isEmpty())
        insertImageFiles(files, prefDir);
}

void CanvasEditor::insertImageFiles(const QStringList &files, QString &prefDir)
{
    Canvas *scene = canvas();
    if (files.isEmpty() || !scene || isCreating())
        return;
    prefDir = QFileInfo(files.first()).absolutePath();

    WaitCursor wait;
    auto macro = std::make_unique<QUndoCommand>(UndoText::insertImageFile());
    for (const QString &file : files) {
        QImageReader reader(file);
        const QImage image = reader.canRead() ? reader.read() : QImage();
        if (image.isNull()) {
            wait.restore();
            showWarning(formatNotSupportedText());
            break;
        }
        auto *graphic = new (std::nothrow) ImageGraphic(QPixmap::fromImage(image));
        if (!graphic) {
            wait.restore();
            showWarning(insufficientMemoryText());
            break;
        }
        graphic->setZValue(scene->nextTopZ());
        graphic->setPos(scene->nextInsertPos());
        scene->addItem(graphic);
        new UndoNewGraphic(graphic, macro.get());
    }
    if (macro->childCount() == 0)
        return;
    record(macro.release());
    mainCanvasView->setDirty(true);
    notifyChanged();
}
