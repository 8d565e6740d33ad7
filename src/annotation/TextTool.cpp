#include "TextTool.h"

#include "Canvas.h"
#include "CanvasEditor.h"
#include "CanvasView.h"
#include "TextGraphic.h"
#include "UndoCommands.h"

#include <QGraphicsSceneMouseEvent>
#include <QTextCursor>

#include <new>

TextTool::TextTool(CanvasEditor *editor)
    : BaseTool(editor)
{ }

TextTool::~TextTool() = default;

void TextTool::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    Canvas *canvas = editor->canvas();
    if (event->button() != Qt::LeftButton || !canvas) {
        event->ignore();
        return;
    }
    QGraphicsItem *under = canvas->itemAt(event->scenePos(), QTransform());
    if (under && under->topLevelItem()->type() == TextGraphic::Type) {
        // A box being edited takes the click itself (it places the text cursor); any other
        // box is picked up by the scene to be moved.
        if (under->topLevelItem() != canvas->focusItem() && editor->mainView())
            editor->mainView()->viewport()->setCursor(Qt::SizeAllCursor);
        event->ignore();
        return;
    }
    if (auto *editing = dynamic_cast<QGraphicsTextItem *>(canvas->focusItem())) {
        // A click beside the box being edited only ends its editing.
        editing->setTextInteractionFlags(Qt::NoTextInteraction);
        QTextCursor cursor = editing->textCursor();
        cursor.clearSelection();
        editing->setTextCursor(cursor);
        canvas->clearSelection();
        event->accept();
        return;
    }
    createText(event);
}

void TextTool::createText(QGraphicsSceneMouseEvent *event)
{
    event->accept();
    Canvas *canvas = editor->canvas();
    auto *text = new (std::nothrow) TextGraphic;
    if (!text) {
        editor->showWarning(CanvasEditor::notEnoughMemoryText());
        return;
    }
    text->setFont(editor->font());
    text->setDefaultTextColor(editor->pen().color());
    text->setPos(event->scenePos());
    text->setZValue(canvas->nextTopZ());
    canvas->addItem(text);
    canvas->clearSelection();
    text->setSelected(true);
    text->setFocus(Qt::MouseFocusReason);
    if (CanvasView *view = editor->mainView())
        view->setDirty(true);
    QObject::connect(text, &TextGraphic::lostFocus, editor, &CanvasEditor::textLostFocus);
    editor->notifyChanged();
    heldCommand = std::make_unique<UndoNewGraphic>(text);
    heldItem = text;
}

void TextTool::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
    if (event->button() == Qt::LeftButton && editor->mainView())
        editor->mainView()->viewport()->setCursor(Qt::IBeamCursor);
}

QUndoCommand *TextTool::takeHeldCommand(const QGraphicsTextItem *item)
{
    if (!heldCommand || item != heldItem)
        return nullptr;
    heldItem = nullptr;
    return heldCommand.release();
}

bool TextTool::discardHeldCommand(const QGraphicsTextItem *item)
{
    if (!heldCommand || item != heldItem)
        return false;
    heldCommand.reset();
    heldItem = nullptr;
    return true;
}
