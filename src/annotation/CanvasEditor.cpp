#include "CanvasEditor.h"

#include "BaseGraphic.h"
#include "Canvas.h"
#include "CanvasView.h"
#include "EraserTool.h"
#include "FreehandGraphic.h"
#include "GenericTool.h"
#include "HiliterGraphic.h"
#include "LineGraphic.h"
#include "SelectTool.h"
#include "ShapeTool.h"
#include "TextTool.h"
#include "UndoCommands.h"

#include <MessageBox.h>

#include <QApplication>
#include <QGraphicsTextItem>
#include <QTextCursor>
#include <QUndoStack>

namespace {

struct ViewSettings
{
    QGraphicsView::DragMode dragMode;
    bool interactive;
    bool mouseTracking;
    /// Qt::BitmapCursor: the picture below; Qt::CustomCursor: leave the view's cursor.
    Qt::CursorShape shape;
    const char *picture = nullptr;
    QPoint hotSpot = {};
};

ViewSettings settingsFor(AnnotationIntf::Tool kind)
{
    using V = QGraphicsView;
    switch (kind) {
    case AnnotationIntf::NoTool:
        return {V::NoDrag, false, false, Qt::ArrowCursor};
    case AnnotationIntf::SelectTool:
        return {V::RubberBandDrag, true, true, Qt::ArrowCursor};
    case AnnotationIntf::MoveTool:
        return {V::ScrollHandDrag, false, false, Qt::CustomCursor};
    case AnnotationIntf::FreehandTool:
        return {V::NoDrag, true, false, Qt::BitmapCursor, ":/Cursor/FreehandCursor", {6, 30}};
    case AnnotationIntf::LineTool:
    case AnnotationIntf::ShapeTool:
        return {V::NoDrag, true, false, Qt::CrossCursor};
    case AnnotationIntf::TextTool:
        return {V::NoDrag, true, false, Qt::IBeamCursor};
    case AnnotationIntf::HiliterTool:
        return {V::NoDrag, true, false, Qt::BitmapCursor, ":/Cursor/HiliterCursor", {6, 30}};
    case AnnotationIntf::EraserTool:
        return {V::NoDrag, true, false, Qt::BitmapCursor, ":/Cursor/EraserCursor", {9, 27}};
    }
    return {V::NoDrag, false, false, Qt::ArrowCursor};
}

} // namespace

CanvasEditor::CanvasEditor(QObject *parent)
    : QObject(parent)
    , freehandTool(std::make_unique<GenericTool<FreehandGraphic>>(this))
    , lineTool(std::make_unique<GenericTool<LineGraphic>>(this))
    , selectTool(std::make_unique<SelectTool>(this))
    , moveTool(std::make_unique<BaseTool>(this))
    , shapeTool(std::make_unique<ShapeTool>(this))
    , textTool(std::make_unique<TextTool>(this))
    , hiliterTool(std::make_unique<GenericTool<HiliterGraphic>>(this))
    , eraserTool(std::make_unique<EraserTool>(this))
    , undo(std::make_unique<QUndoStack>())
{ }

CanvasEditor::~CanvasEditor()
{
    // The views may already be gone (a view is destroyed with the widget it lies over), so
    // the canvases are reached through pointers that noticed.
    for (const QPointer<Canvas> &scene : std::as_const(drivenCanvases)) {
        if (scene && scene->owner() == this)
            scene->setOwner(nullptr);
    }
}

QString CanvasEditor::notEnoughMemoryText()
{
    return tr("Not enough memory.");
}

QString CanvasEditor::insufficientMemoryText()
{
    return tr("Insufficient memory.");
}

QString CanvasEditor::formatNotSupportedText()
{
    return tr("The format is not supported.");
}

QString CanvasEditor::openImageTitle()
{
    return tr("Open Image");
}

QString CanvasEditor::imageFilter()
{
    return tr("All Image Files (*.bmp *.jpg *.jpeg *.gif *.tif *.png)");
}

void CanvasEditor::addView(CanvasView *view)
{
    if (!view || viewList.contains(view))
        return;
    viewList.append(view);
    if (!mainCanvasView)
        mainCanvasView = view;
    if (auto *scene = qobject_cast<Canvas *>(view->scene())) {
        scene->setOwner(this);
        drivenCanvases.append(scene);
    }
    applyViewSettings(view, currentToolKind());
}

void CanvasEditor::removeView(CanvasView *view)
{
    viewList.removeAll(view);
    if (mainCanvasView == view)
        mainCanvasView = viewList.value(0);
}

Canvas *CanvasEditor::canvas() const
{
    return mainCanvasView ? qobject_cast<Canvas *>(mainCanvasView->scene()) : nullptr;
}

AnnotationIntf::Tool CanvasEditor::currentToolKind() const
{
    for (int kind = AnnotationIntf::SelectTool; kind <= AnnotationIntf::EraserTool; ++kind) {
        if (tool && toolFor(AnnotationIntf::Tool(kind)) == tool)
            return AnnotationIntf::Tool(kind);
    }
    return AnnotationIntf::NoTool;
}

bool CanvasEditor::isCreating() const
{
    return tool && tool->isCreating();
}

BaseTool *CanvasEditor::toolFor(AnnotationIntf::Tool kind) const
{
    switch (kind) {
    case AnnotationIntf::NoTool:
        return nullptr;
    case AnnotationIntf::SelectTool:
        return selectTool.get();
    case AnnotationIntf::MoveTool:
        return moveTool.get();
    case AnnotationIntf::FreehandTool:
        return freehandTool.get();
    case AnnotationIntf::LineTool:
        return lineTool.get();
    case AnnotationIntf::ShapeTool:
        return shapeTool.get();
    case AnnotationIntf::TextTool:
        return textTool.get();
    case AnnotationIntf::HiliterTool:
        return hiliterTool.get();
    case AnnotationIntf::EraserTool:
        return eraserTool.get();
    }
    return nullptr;
}

void CanvasEditor::applyViewSettings(CanvasView *view, AnnotationIntf::Tool kind) const
{
    const ViewSettings settings = settingsFor(kind);
    view->setDragMode(settings.dragMode);
    view->setInteractive(settings.interactive);
    view->setMouseTracking(settings.mouseTracking);
    view->viewport()->setMouseTracking(settings.mouseTracking);
    if (settings.shape == Qt::BitmapCursor)
        view->viewport()->setCursor(QCursor(QPixmap(QString::fromLatin1(settings.picture)),
                                            settings.hotSpot.x(), settings.hotSpot.y()));
    else if (settings.shape != Qt::CustomCursor)
        view->viewport()->setCursor(settings.shape);
}

bool CanvasEditor::setTool(AnnotationIntf::Tool kind, bool clearSelection)
{
    if (isCreating())
        return false;
    for (CanvasView *view : std::as_const(viewList))
        applyViewSettings(view, kind);
    BaseTool *next = toolFor(kind);
    if (next != tool) {
        tool = next;
        if (Canvas *scene = canvas(); scene && clearSelection)
            scene->clearSelection();
    }
    return true;
}

void CanvasEditor::showWarning(const QString &text) const
{
    MessageBox::warning(mainCanvasView, QApplication::applicationName(), text);
}

void CanvasEditor::notifyChanged()
{
    Q_EMIT canvasChanged(true);
}

void CanvasEditor::record(QUndoCommand *command)
{
    undo->push(command);
}

bool CanvasEditor::takeOutOfScene(QGraphicsItem *item)
{
    QGraphicsScene *scene = item->scene();
    if (!scene)
        return false;
    if (QGraphicsItem *focus = scene->focusItem();
        focus && (focus == item || item->isAncestorOf(focus)))
        scene->setFocusItem(nullptr);
    if (item->scene() != scene)
        return false;
    BaseGraphic *graphic = BaseGraphic::fromItem(item);
    if (graphic && graphic->hasCapability(BaseGraphic::CapLeaveSceneHook))
        graphic->aboutToLeaveScene();
    scene->removeItem(item);
    return true;
}

void CanvasEditor::endTextEditing()
{
    // A box being edited may remove itself when it loses focus; that must not happen in the
    // middle of an undo step that takes it out of the scene.
    if (Canvas *scene = canvas())
        scene->setFocusItem(nullptr);
}

void CanvasEditor::editUndo()
{
    if (isCreating())
        return;
    endTextEditing();
    undo->undo();
}

void CanvasEditor::editRedo()
{
    if (isCreating())
        return;
    endTextEditing();
    undo->redo();
}

void CanvasEditor::editSelectAll()
{
    if (Canvas *scene = canvas()) {
        const QList<QGraphicsItem *> all = scene->items();
        for (QGraphicsItem *item : all) {
            if (item->flags() & QGraphicsItem::ItemIsSelectable)
                item->setSelected(true);
        }
    }
}

void CanvasEditor::editClearAll()
{
    if (Canvas *scene = canvas()) {
        if (tool)
            tool->reset();
        scene->clearSelection();
        removeAllItems(scene, true);
    }
}

void CanvasEditor::editClearView(CanvasView *view, bool needUndo, bool resetTx)
{
    const QList<CanvasView *> targets = view ? QList<CanvasView *>{view} : viewList;
    for (CanvasView *target : targets) {
        if (tool)
            tool->reset();
        if (resetTx)
            target->resetViewTransform();
        target->setDirty(false);
        if (auto *scene = qobject_cast<Canvas *>(target->scene()))
            removeAllItems(scene, needUndo);
    }
}

void CanvasEditor::insertVideoFile(QString &prefDir)
{
    Q_UNUSED(prefDir);
}

void CanvasEditor::toolNone()
{
    setTool(AnnotationIntf::NoTool);
}

void CanvasEditor::toolSelect()
{
    setTool(AnnotationIntf::SelectTool);
}

void CanvasEditor::toolMove()
{
    setTool(AnnotationIntf::MoveTool);
}

void CanvasEditor::toolFreehand()
{
    setTool(AnnotationIntf::FreehandTool);
}

void CanvasEditor::toolLine()
{
    setTool(AnnotationIntf::LineTool);
}

void CanvasEditor::toolShape()
{
    setTool(AnnotationIntf::ShapeTool);
}

void CanvasEditor::toolText()
{
    setTool(AnnotationIntf::TextTool);
}

void CanvasEditor::toolHiliter()
{
    setTool(AnnotationIntf::HiliterTool);
}

void CanvasEditor::toolEraser()
{
    setTool(AnnotationIntf::EraserTool);
}

void CanvasEditor::toolCoobie() { }

void CanvasEditor::textLostFocus(QGraphicsTextItem &item)
{
    QTextCursor cursor = item.textCursor();
    cursor.clearSelection();
    item.setTextCursor(cursor);
    if (QGraphicsScene *scene = item.scene())
        scene->clearSelection();
    if (!item.toPlainText().isEmpty()) {
        if (QUndoCommand *command = textTool->takeHeldCommand(&item))
            record(command);
        return;
    }
    QGraphicsScene *scene = item.scene();
    if (!scene)
        return;
    scene->removeItem(&item);
    if (textTool->discardHeldCommand(&item)) {
        // Never recorded, so nothing refers to it. Deferred: this runs inside the box's own
        // focus-out handler.
        item.deleteLater();
    } else {
        // A box emptied after it was recorded: its creation is in the history, so emptying it
        // is a deletion that undo can take back.
        record(new UndoDeleteGraphic(scene, &item));
    }
}
