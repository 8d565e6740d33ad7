#pragma once

#include "AnnotationIntf.h"

#include <SharedComponent.h>

#include <QPen>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class BaseGraphic;
class Canvas;
class CanvasEditor;

/// The annotation component. Each canvas has an editor of its own, so each keeps its own undo
/// history; the component holds what the panels set (tool, pens, text properties) and gives it
/// to every editor, and sends edit commands to the active canvas's editor.
class AnnotationImpl : public AnnotationIntf, public SharedComponent<AnnotationImpl>
{
    Q_OBJECT
    friend SharedComponent;

public:
    static constexpr qreal DefaultPenWidth = 4.0;
    static constexpr qreal HiliterPenWidth = 16.0;
    static constexpr int DefaultTextPointSize = 24;

    using SharedComponent::getInstance;

    void release() override;

    CanvasView *createCanvas(QWidget *over, const QSize &size, bool scrollBars = false) override;
    void destroyCanvas(CanvasView *view) override;
    void setActiveCanvas(CanvasView *view) override;
    CanvasView *activeCanvas() const override;

    bool selectTool(Tool tool) override;
    Tool currentTool() const override { return tool; }

    QColor penColor(PenTool tool) const override;
    qreal penWidth(PenTool tool) const override;
    void setPenColor(PenTool tool, const QColor &color) override;
    void setPenWidth(PenTool tool, qreal width) override;
    int shapeKind() const override { return kind; }
    void setShapeKind(int kind) override;

    QFont textFont() const override { return font; }
    QColor textColor() const override { return textColour; }
    void setFontFamily(const QString &family) override;
    void setFontSize(int pointSize) override;
    void setBold(bool on) override;
    void setItalic(bool on) override;
    void setUnderline(bool on) override;
    void setTextColor(const QColor &color) override;

    void undo() override;
    void redo() override;
    void deleteSelection() override;
    void clear(bool clearHistory) override;

    void setViewTransform(CanvasView *view, qreal degree, qreal scale, bool mirrored) override;
    void setScrollBarsVisible(bool visible) override;

    ResultCode renderToImage(QImage &image) override;

    void setUpdateAnnoState(UpdateAnnoStateIntf *panel) override;

    /// The editor driving the canvas shown by `view`; null for a view this component did not
    /// make.
    CanvasEditor *editorOf(const CanvasView *view) const;

public Q_SLOTS:
    void enableUndo(bool enable);
    void enableRedo(bool enable);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct CanvasEntry
    {
        QWidget *over = nullptr;
        std::unique_ptr<Canvas> canvas;
        std::unique_ptr<CanvasEditor> editor;
        CanvasView *view = nullptr;
    };

    AnnotationImpl();
    ~AnnotationImpl() override;

    CanvasEntry *entryOf(const CanvasView *view) const;
    /// Drops the entry of `view` without deleting the view (it is already going away).
    void forgetCanvas(const CanvasView *view);
    void announceUndoState();
    /// The pen new items of the current tool are drawn with.
    QPen toolPen() const;
    /// Gives every editor the current pen, font and shape kind.
    void applyToEditors();
    /// Applies `change` to the selected text of the active canvas and to the font of new text.
    void changeText(const std::function<void(BaseGraphic *)> &change);

    std::vector<std::unique_ptr<CanvasEntry>> entries;
    CanvasEntry *active = nullptr;
    Tool tool = SelectTool;
    QPen pens[3];
    QPen hiliterPen;
    QColor textColour = Qt::red;
    QFont font;
    int kind = 0;
    UpdateAnnoStateIntf *updateState = nullptr;
    QMetaObject::Connection undoConnection;
    QMetaObject::Connection redoConnection;
    /// Rendering may be asked for by the capture side while the presenter draws; one render
    /// at a time.
    std::mutex renderMutex;
};
