#pragma once

#include <ResultCode.h>

#include <QColor>
#include <QFont>
#include <QObject>
#include <QSize>

class CanvasView;
class QImage;
class QWidget;
class UpdateAnnoStateIntf;

/// The annotation component: transparent drawing canvases laid over the camera and image views,
/// the drawing tools, their pens, the text properties and one undo history per canvas.
///
/// The main window creates one canvas over each view it annotates and makes one of them active;
/// tool changes and pen settings apply to every canvas, edit commands (undo, delete, clear, ...)
/// to the active one. The panels reach the component through current(), which is null while no
/// one holds it, and then only update themselves.
class AnnotationIntf : public QObject
{
    Q_OBJECT

public:
    /// The drawing tools, in the order of the editor's tool slots.
    enum Tool {
        NoTool,
        SelectTool,
        MoveTool,
        FreehandTool,
        LineTool,
        ShapeTool,
        TextTool,
        HiliterTool,
        EraserTool
    };
    /// The tools whose pen the panels set.
    enum PenTool { FreehandPen, LinePen, ShapePen };

    static AnnotationIntf *getInstance();
    /// The existing component without taking a reference; null when there is none.
    static AnnotationIntf *current();

    virtual void release() = 0;

    /// A new canvas of `size` scene units shown by a transparent view that is a child of
    /// `over`, covering it and following its resizes. Null when it cannot be created (after
    /// the "Not enough memory." box). The first canvas becomes the active one.
    virtual CanvasView *createCanvas(QWidget *over, const QSize &size, bool scrollBars = false) = 0;
    /// Destroys a canvas made by createCanvas() (also done when its widget goes away).
    virtual void destroyCanvas(CanvasView *view) = 0;
    /// Where edit commands and undo go from now on.
    virtual void setActiveCanvas(CanvasView *view) = 0;
    virtual CanvasView *activeCanvas() const = 0;

    /// Switches every canvas to `tool`; refused (false) while a gesture is drawing an item.
    virtual bool selectTool(Tool tool) = 0;
    virtual Tool currentTool() const = 0;

    virtual QColor penColor(PenTool tool) const = 0;
    virtual qreal penWidth(PenTool tool) const = 0;
    virtual void setPenColor(PenTool tool, const QColor &color) = 0;
    virtual void setPenWidth(PenTool tool, qreal width) = 0;
    /// The kind new shapes get (ShapeGraphic kinds: 0, 2 and 3 from the shape panel).
    virtual int shapeKind() const = 0;
    virtual void setShapeKind(int kind) = 0;

    /// Text properties: applied to the selected text items of the active canvas and to the
    /// text items created from now on.
    virtual QFont textFont() const = 0;
    virtual QColor textColor() const = 0;
    virtual void setFontFamily(const QString &family) = 0;
    virtual void setFontSize(int pointSize) = 0;
    virtual void setBold(bool on) = 0;
    virtual void setItalic(bool on) = 0;
    virtual void setUnderline(bool on) = 0;
    virtual void setTextColor(const QColor &color) = 0;

    virtual void undo() = 0;
    virtual void redo() = 0;
    /// Deletes the selected items of the active canvas (one undo step).
    virtual void deleteSelection() = 0;
    /// Removes every item of the active canvas, as one undo step, or with the canvas's undo
    /// history cleared when `clearHistory` is set.
    virtual void clear(bool clearHistory) = 0;

    /// The active canvas's view turned by `degree` (snapped to 90 and 270 when close) and scaled
    /// by `scale` about its centre; `mirrored` flips it left to right. Used to keep drawings on
    /// the paper when the camera picture is zoomed, rotated or mirrored.
    virtual void setViewTransform(CanvasView *view, qreal degree, qreal scale, bool mirrored) = 0;
    virtual void setScrollBarsVisible(bool visible) = 0;

    /// Renders the active canvas into `image` (filled transparent first, scaled to fit).
    /// Result::Failure for a null image.
    virtual ResultCode renderToImage(QImage &image) = 0;

    /// The tool bar to tell when undo and redo become (un)available; null to stop.
    virtual void setUpdateAnnoState(UpdateAnnoStateIntf *panel) = 0;

Q_SIGNALS:
    /// A gesture, text or inserted image changed the active canvas.
    void canvasChanged(bool dirty);
    void toolChanged(AnnotationIntf::Tool tool);
};

/// What the annotation tool bar offers the component: it is told when undo and redo become
/// available.
class UpdateAnnoStateIntf
{
public:
    virtual ~UpdateAnnoStateIntf() = default;
    virtual void enableUndoButton(bool enable) = 0;
    virtual void enableRedoButton(bool enable) = 0;
};
