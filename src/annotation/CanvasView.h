#pragma once

#include <QGraphicsView>

/// Shows a canvas, turned, scaled and mirrored as the component asks, and remembers whether the
/// user has drawn on it since it was last cleared.
///
/// An overlay view is fully transparent (no frame, no viewport background, and it paints no
/// background of its own when the canvas has none), so the picture of the widget beneath shows
/// through wherever nothing is drawn. Background and foreground are painted only inside the
/// scene rectangle.
class CanvasView : public QGraphicsView
{
    Q_OBJECT

public:
    /// Rotations this close to 90 or 270 degrees snap to them.
    static constexpr qreal SnapDegrees = 3.0;

    explicit CanvasView(QGraphicsScene *scene, QWidget *parent = nullptr);

    /// Makes the view see-through for laying over another widget.
    void makeOverlay();

    qreal rotation() const { return degree; }
    qreal scaleFactor() const { return factor; }
    bool isMirrored() const { return mirrored; }
    /// Turns, scales and mirrors the view about its centre; see snappedDegree().
    void setViewTransform(qreal degree, qreal scale, bool mirrored);
    void setRotation(qreal degree);
    void setScaleFactor(qreal scale);
    void setMirrored(bool on);
    /// Back to upright, unscaled and unmirrored.
    void resetViewTransform();

    bool isDirty() const { return dirty; }
    void setDirty(bool on) { dirty = on; }

    /// `degree` in [0, 360), snapped to 90 or 270 when within SnapDegrees of them: a camera
    /// turned by hand is meant to stand on its side.
    static qreal snappedDegree(qreal degree);

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    void applyTransform();
    void fillSceneArea(QPainter *painter, const QRectF &rect, const QBrush &brush) const;

    qreal degree = 0.0;
    qreal factor = 1.0;
    bool mirrored = false;
    bool dirty = false;
};
