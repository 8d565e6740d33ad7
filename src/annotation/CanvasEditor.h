#pragma once

#include "AnnotationIntf.h"

#include <QBrush>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPen>
#include <QPointer>

#include <functional>
#include <memory>

class BaseGraphic;
class BaseTool;
class Canvas;
class CanvasView;
class EraserTool;
class FreehandGraphic;
class HiliterGraphic;
class LineGraphic;
class QGraphicsItem;
class QGraphicsTextItem;
class QUndoCommand;
class QUndoStack;
class SelectTool;
class ShapeTool;
class TextTool;
template<typename Graphic> class GenericTool;

/// Drives one canvas: owns its tools, the pen, brush and font new items get, and its undo
/// history, and performs the edit commands on the canvas's selection.
///
/// Every change is recorded for undo. While a tool is in the middle of a gesture, tool changes
/// and edits are refused, so a half-drawn item never meets an edit.
class CanvasEditor : public QObject
{
    Q_OBJECT

public:
    explicit CanvasEditor(QObject *parent = nullptr);
    ~CanvasEditor() override;

    static QString notEnoughMemoryText();
    static QString insufficientMemoryText();
    static QString formatNotSupportedText();
    static QString openImageTitle();
    static QString imageFilter();

    /// Adds a view of the canvas; the first becomes the main view, and the view's canvas is
    /// driven by this editor from now on.
    void addView(CanvasView *view);
    void removeView(CanvasView *view);
    QList<CanvasView *> views() const { return viewList; }
    CanvasView *mainView() const { return mainCanvasView; }
    void setMainView(CanvasView *view) { mainCanvasView = view; }
    /// The main view's canvas; null without a main view.
    Canvas *canvas() const;

    QUndoStack *undoStack() const { return undo.get(); }
    QPen pen() const { return currentPen; }
    void setPen(const QPen &pen) { currentPen = pen; }
    QBrush brush() const { return currentBrush; }
    void setBrush(const QBrush &brush) { currentBrush = brush; }
    QFont font() const { return currentFont; }
    void setFont(const QFont &font) { currentFont = font; }
    int penStyle() const { return penStyleValue; }
    void setPenStyle(int style) { penStyleValue = style; }
    int startAnchor() const { return startAnchorValue; }
    void setStartAnchor(int anchor) { startAnchorValue = anchor; }
    int endAnchor() const { return endAnchorValue; }
    void setEndAnchor(int anchor) { endAnchorValue = anchor; }
    int shapeKind() const { return shapeKindValue; }
    void setShapeKind(int kind) { shapeKindValue = kind; }
    bool isFreeAspect() const { return freeAspect; }
    void setFreeAspect(bool free) { freeAspect = free; }

    BaseTool *currentTool() const { return tool; }
    AnnotationIntf::Tool currentToolKind() const;
    /// True while the current tool is in the middle of a gesture.
    bool isCreating() const;
    /// Makes `kind` current and sets up every view for it; false (nothing changes) during a
    /// gesture.
    bool setTool(AnnotationIntf::Tool kind, bool clearSelection = true);

    /// Inserts pictures as insertImageFile() does once the files are chosen.
    void insertImageFiles(const QStringList &files, QString &prefDir);

    // For the tools.
    void showWarning(const QString &text) const;
    void notifyChanged();
    /// Pushes a change that has already been made.
    void record(QUndoCommand *command);
    /// Takes an item out of its scene for a deletion, first ending its text editing. False when
    /// the item went away by itself (an emptied text box does when it loses focus).
    bool takeOutOfScene(QGraphicsItem *item);

Q_SIGNALS:
    void canvasChanged(bool dirty);

public Q_SLOTS:
    void editUndo();
    void editRedo();
    void editClone();
    void editDelete();
    void editSelectAll();
    void editFlip();
    void editMirror();
    void editScale(qreal newScale);
    void editRotate(qreal newDegree);
    void editBringToFront();
    void editSendToBack();
    void editBringForward();
    void editSendBackward();
    void editSetOpacity(qreal newOpacity);
    void editClearAll();
    /// Clears `view`, or every view when it is null: the tool's gesture is abandoned, the
    /// transform reset when `resetTx` is set, the dirty flag cleared and every item removed,
    /// as one undo step when `needUndo` is set and for good otherwise.
    void editClearView(CanvasView *view, bool needUndo, bool resetTx);
    void insertImageFile(QString &prefDir);
    void insertVideoFile(QString &prefDir);
    void toolNone();
    void toolSelect();
    void toolMove();
    void toolFreehand();
    void toolLine();
    void toolShape();
    void toolText();
    void toolHiliter();
    void toolEraser();
    void toolCoobie();
    void textLostFocus(QGraphicsTextItem &item);

private:
    using Change = std::function<QUndoCommand *(BaseGraphic *graphic, QUndoCommand *macro)>;

    BaseTool *toolFor(AnnotationIntf::Tool kind) const;
    void endTextEditing();
    void applyViewSettings(CanvasView *view, AnnotationIntf::Tool kind) const;
    /// The selected graphics in stacking order, bottom first; empty when edits are refused.
    QList<BaseGraphic *> editableSelection() const;
    /// Runs `change` on each selected graphic with `capability` and records what it returns,
    /// as one undo step named `macroText`. True when anything changed.
    bool changeSelection(const QString &macroText, quint32 capability, const Change &change);
    /// Removes every top-level item of `canvas` as one undo step, or deletes them.
    void removeAllItems(Canvas *canvas, bool needUndo);
    QGraphicsItem *neighbour(QGraphicsItem *item, bool above) const;
    /// Exchanges the z value of each selected item with its neighbour above or below.
    void exchangeWithNeighbours(const QString &macroText, bool above);

    CanvasView *mainCanvasView = nullptr;
    QList<CanvasView *> viewList;
    QList<QPointer<Canvas>> drivenCanvases;
    std::unique_ptr<GenericTool<FreehandGraphic>> freehandTool;
    std::unique_ptr<GenericTool<LineGraphic>> lineTool;
    std::unique_ptr<SelectTool> selectTool;
    std::unique_ptr<BaseTool> moveTool;
    std::unique_ptr<ShapeTool> shapeTool;
    std::unique_ptr<TextTool> textTool;
    std::unique_ptr<GenericTool<HiliterGraphic>> hiliterTool;
    std::unique_ptr<EraserTool> eraserTool;
    BaseTool *tool = nullptr;
    bool freeAspect = true;
    std::unique_ptr<QUndoStack> undo;
    int penStyleValue = Qt::SolidLine;
    QPen currentPen{Qt::black, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin};
    QBrush currentBrush{Qt::NoBrush};
    QFont currentFont;
    int startAnchorValue = 0;
    int endAnchorValue = 0;
    int shapeKindValue = 0;
};
