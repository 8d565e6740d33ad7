#include "AnnotationImpl.h"

#include "BaseGraphic.h"
#include "Canvas.h"
#include "CanvasEditor.h"
#include "CanvasView.h"

#include <LogModule.h>
#include <MessageBox.h>

#include <QApplication>
#include <QEvent>
#include <QGraphicsItem>
#include <QImage>
#include <QPainter>
#include <QUndoStack>

#include <algorithm>
#include <new>

namespace {
const LogModule annotationLog("velora/annotation");
}

AnnotationIntf *AnnotationIntf::getInstance()
{
    return AnnotationImpl::getInstance();
}

AnnotationIntf *AnnotationIntf::current()
{
    return AnnotationImpl::peekInstance();
}

AnnotationImpl::AnnotationImpl()
{
    const QPen pen(Qt::red, DefaultPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    std::fill(std::begin(pens), std::end(pens), pen);
    hiliterPen = QPen(Qt::yellow, HiliterPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    // Text on a projected camera picture is read from the back of the room.
    font.setPointSize(DefaultTextPointSize);
}

AnnotationImpl::~AnnotationImpl()
{
    while (!entries.empty())
        destroyCanvas(entries.back()->view);
}

void AnnotationImpl::release()
{
    releaseShared();
}

AnnotationImpl::CanvasEntry *AnnotationImpl::entryOf(const CanvasView *view) const
{
    for (const auto &entry : entries) {
        if (entry->view == view)
            return entry.get();
    }
    return nullptr;
}

CanvasEditor *AnnotationImpl::editorOf(const CanvasView *view) const
{
    CanvasEntry *entry = entryOf(view);
    return entry ? entry->editor.get() : nullptr;
}

CanvasView *AnnotationImpl::createCanvas(QWidget *over, const QSize &size, bool scrollBars)
{
    auto entry = std::make_unique<CanvasEntry>();
    entry->canvas.reset(new (std::nothrow) Canvas);
    if (!entry->canvas) {
        annotationLog.log(2, "AnnotationImpl::createCanvas - No memory for a canvas");
        MessageBox::warning(over, QApplication::applicationName(),
                            CanvasEditor::notEnoughMemoryText());
        return nullptr;
    }
    entry->canvas->setSceneRect(QRectF(QPointF(), QSizeF(size)));
    entry->over = over;

    auto *view = new CanvasView(entry->canvas.get(), over);
    view->makeOverlay();
    view->setFocusPolicy(Qt::StrongFocus);
    view->setAcceptDrops(true);
    const Qt::ScrollBarPolicy policy = scrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    view->setHorizontalScrollBarPolicy(policy);
    view->setVerticalScrollBarPolicy(policy);
    if (over) {
        view->setGeometry(over->rect());
        over->installEventFilter(this);
    }
    view->show();
    entry->view = view;

    entry->editor = std::make_unique<CanvasEditor>();
    CanvasEditor *editor = entry->editor.get();
    editor->addView(view);
    editor->setPen(toolPen());
    editor->setFont(font);
    editor->setShapeKind(kind);
    editor->setTool(tool);

    connect(view, &QObject::destroyed, this, [this, view] { forgetCanvas(view); });
    connect(editor, &CanvasEditor::canvasChanged, this, [this, editor](bool dirty) {
        if (active && active->editor.get() == editor)
            Q_EMIT canvasChanged(dirty);
    });
    entries.push_back(std::move(entry));
    if (!active)
        setActiveCanvas(view);
    return view;
}

void AnnotationImpl::forgetCanvas(const CanvasView *view)
{
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [view](const auto &entry) { return entry->view == view; });
    if (found == entries.end())
        return;
    std::unique_ptr<CanvasEntry> entry = std::move(*found);
    entries.erase(found);
    if (entry->over) {
        const bool overStillCovered
                = std::any_of(entries.begin(), entries.end(),
                              [&](const auto &other) { return other->over == entry->over; });
        if (!overStillCovered)
            entry->over->removeEventFilter(this);
    }
    if (active == entry.get()) {
        active = nullptr;
        QObject::disconnect(undoConnection);
        QObject::disconnect(redoConnection);
        if (!entries.empty())
            setActiveCanvas(entries.front()->view);
        else
            announceUndoState();
    }
    // The editor goes before its canvas: its undo history still refers to the canvas's items.
    entry->editor.reset();
    entry->canvas.reset();
}

void AnnotationImpl::destroyCanvas(CanvasView *view)
{
    if (!entryOf(view))
        return;
    disconnect(view, &QObject::destroyed, this, nullptr);
    forgetCanvas(view);
    delete view;
}

void AnnotationImpl::setActiveCanvas(CanvasView *view)
{
    CanvasEntry *entry = entryOf(view);
    if (!entry || entry == active)
        return;
    QObject::disconnect(undoConnection);
    QObject::disconnect(redoConnection);
    active = entry;
    QUndoStack *stack = entry->editor->undoStack();
    undoConnection = connect(stack, &QUndoStack::canUndoChanged, this, &AnnotationImpl::enableUndo);
    redoConnection = connect(stack, &QUndoStack::canRedoChanged, this, &AnnotationImpl::enableRedo);
    announceUndoState();
}

CanvasView *AnnotationImpl::activeCanvas() const
{
    return active ? active->view : nullptr;
}

void AnnotationImpl::announceUndoState()
{
    QUndoStack *stack = active ? active->editor->undoStack() : nullptr;
    enableUndo(stack && stack->canUndo());
    enableRedo(stack && stack->canRedo());
}

bool AnnotationImpl::selectTool(Tool newTool)
{
    const bool busy = std::any_of(entries.begin(), entries.end(),
                                  [](const auto &entry) { return entry->editor->isCreating(); });
    if (busy)
        return false;
    const bool changed = newTool != tool;
    tool = newTool;
    for (const auto &entry : entries)
        entry->editor->setTool(tool);
    applyToEditors();
    if (changed)
        Q_EMIT toolChanged(tool);
    return true;
}

QPen AnnotationImpl::toolPen() const
{
    switch (tool) {
    case LineTool:
        return pens[LinePen];
    case ShapeTool:
        return pens[ShapePen];
    case HiliterTool:
        return hiliterPen;
    case TextTool:
        // New text takes its colour from the editor's pen.
        return QPen(textColour);
    default:
        return pens[FreehandPen];
    }
}

void AnnotationImpl::applyToEditors()
{
    const QPen pen = toolPen();
    for (const auto &entry : entries) {
        entry->editor->setPen(pen);
        entry->editor->setFont(font);
        entry->editor->setShapeKind(kind);
    }
}

QColor AnnotationImpl::penColor(PenTool penTool) const
{
    return pens[penTool].color();
}

qreal AnnotationImpl::penWidth(PenTool penTool) const
{
    return pens[penTool].widthF();
}

void AnnotationImpl::setPenColor(PenTool penTool, const QColor &color)
{
    pens[penTool].setColor(color);
    applyToEditors();
}

void AnnotationImpl::setPenWidth(PenTool penTool, qreal width)
{
    if (width <= 0)
        return;
    pens[penTool].setWidthF(width);
    applyToEditors();
}

void AnnotationImpl::setShapeKind(int newKind)
{
    kind = newKind;
    applyToEditors();
}

void AnnotationImpl::changeText(const std::function<void(BaseGraphic *)> &change)
{
    if (active) {
        const QList<QGraphicsItem *> selected = active->canvas->selectedItems();
        for (QGraphicsItem *item : selected) {
            BaseGraphic *graphic = BaseGraphic::fromItem(item);
            if (graphic && graphic->hasCapability(BaseGraphic::CapFont))
                change(graphic);
        }
    }
    applyToEditors();
}

void AnnotationImpl::setFontFamily(const QString &family)
{
    font.setFamily(family);
    changeText([&](BaseGraphic *graphic) { graphic->setFontFamily(family); });
}

void AnnotationImpl::setFontSize(int pointSize)
{
    if (pointSize <= 0)
        return;
    font.setPointSize(pointSize);
    changeText([&](BaseGraphic *graphic) { graphic->setFontPointSize(pointSize); });
}

void AnnotationImpl::setBold(bool on)
{
    font.setBold(on);
    changeText([&](BaseGraphic *graphic) { graphic->setBold(on); });
}

void AnnotationImpl::setItalic(bool on)
{
    font.setItalic(on);
    changeText([&](BaseGraphic *graphic) { graphic->setItalic(on); });
}

void AnnotationImpl::setUnderline(bool on)
{
    font.setUnderline(on);
    changeText([&](BaseGraphic *graphic) { graphic->setUnderline(on); });
}

void AnnotationImpl::setTextColor(const QColor &color)
{
    textColour = color;
    changeText([&](BaseGraphic *graphic) { graphic->setTextColor(color); });
}

void AnnotationImpl::undo()
{
    if (active)
        active->editor->editUndo();
}

void AnnotationImpl::redo()
{
    if (active)
        active->editor->editRedo();
}

void AnnotationImpl::deleteSelection()
{
    if (active)
        active->editor->editDelete();
}

void AnnotationImpl::clear(bool clearHistory)
{
    if (!active)
        return;
    active->editor->editClearView(active->view, !clearHistory, false);
    // After the removal: ending a text box's editing may still record it.
    if (clearHistory)
        active->editor->undoStack()->clear();
}

void AnnotationImpl::setViewTransform(CanvasView *view, qreal degree, qreal scale, bool mirrored)
{
    if (!view)
        view = activeCanvas();
    if (entryOf(view))
        view->setViewTransform(degree, scale, mirrored);
}

void AnnotationImpl::setScrollBarsVisible(bool visible)
{
    const Qt::ScrollBarPolicy policy = visible ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    for (const auto &entry : entries) {
        entry->view->setHorizontalScrollBarPolicy(policy);
        entry->view->setVerticalScrollBarPolicy(policy);
    }
}

ResultCode AnnotationImpl::renderToImage(QImage &image)
{
    std::lock_guard lock(renderMutex);
    if (image.isNull() || !active)
        return Result::Failure;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    active->canvas->renderUncached(&painter, QRectF(image.rect()), active->canvas->sceneRect());
    return Result::Success;
}

void AnnotationImpl::setUpdateAnnoState(UpdateAnnoStateIntf *panel)
{
    updateState = panel;
    announceUndoState();
}

void AnnotationImpl::enableUndo(bool enable)
{
    if (updateState)
        updateState->enableUndoButton(enable);
}

void AnnotationImpl::enableRedo(bool enable)
{
    if (updateState)
        updateState->enableRedoButton(enable);
}

bool AnnotationImpl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        for (const auto &entry : entries) {
            if (entry->over == watched)
                entry->view->setGeometry(entry->over->rect());
        }
    }
    return AnnotationIntf::eventFilter(watched, event);
}
