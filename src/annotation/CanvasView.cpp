#include "CanvasView.h"

#include <QPainter>

#include <cmath>

CanvasView::CanvasView(QGraphicsScene *scene, QWidget *parent)
    : QGraphicsView(scene, parent)
{
    // The view usually lies over a live camera picture: a transparent view cannot repaint a
    // rectangle without the picture beneath repainting it too, so only the parts that really
    // changed are updated, and a stroke in progress costs a few small rectangles per move.
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    setCacheMode(QGraphicsView::CacheNone);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
                   | QPainter::TextAntialiasing);
}

void CanvasView::makeOverlay()
{
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    clear.setColor(QPalette::Window, Qt::transparent);
    setPalette(clear);
    viewport()->setPalette(clear);
    setBackgroundBrush(Qt::NoBrush);
    if (scene())
        scene()->setBackgroundBrush(Qt::NoBrush);
}

qreal CanvasView::snappedDegree(qreal degree)
{
    qreal normal = std::fmod(degree, 360.0);
    if (normal < 0)
        normal += 360.0;
    for (const qreal side : {90.0, 270.0}) {
        if (std::abs(normal - side) <= SnapDegrees)
            return side;
    }
    return normal;
}

void CanvasView::setViewTransform(qreal newDegree, qreal scale, bool mirror)
{
    degree = snappedDegree(newDegree);
    if (scale > 0)
        factor = scale;
    mirrored = mirror;
    applyTransform();
}

void CanvasView::setRotation(qreal newDegree)
{
    setViewTransform(newDegree, factor, mirrored);
}

void CanvasView::setScaleFactor(qreal scale)
{
    setViewTransform(degree, scale, mirrored);
}

void CanvasView::setMirrored(bool on)
{
    setViewTransform(degree, factor, on);
}

void CanvasView::resetViewTransform()
{
    setViewTransform(0.0, 1.0, false);
}

void CanvasView::applyTransform()
{
    QTransform transform;
    transform.scale(mirrored ? -factor : factor, factor);
    transform.rotate(degree);
    setTransform(transform);
}

void CanvasView::fillSceneArea(QPainter *painter, const QRectF &rect, const QBrush &brush) const
{
    if (brush.style() == Qt::NoBrush || !scene())
        return;
    const QRectF area = rect.intersected(sceneRect());
    if (!area.isEmpty())
        painter->fillRect(area, brush);
}

void CanvasView::drawBackground(QPainter *painter, const QRectF &rect)
{
    const QBrush own = backgroundBrush();
    fillSceneArea(painter, rect,
                  own.style() != Qt::NoBrush || !scene() ? own : scene()->backgroundBrush());
}

void CanvasView::drawForeground(QPainter *painter, const QRectF &rect)
{
    const QBrush own = foregroundBrush();
    fillSceneArea(painter, rect,
                  own.style() != Qt::NoBrush || !scene() ? own : scene()->foregroundBrush());
}
