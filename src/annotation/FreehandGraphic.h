#pragma once

#include "BaseGraphic.h"

#include <QAbstractGraphicsShapeItem>
#include <QPainterPath>
#include <QPixmap>

/// A stroke drawn with the pointer: the recorded points joined by straight segments, with
/// optional anchor decorations at its two ends.
///
/// While the stroke is drawn, each new segment is painted once into an off-screen pixmap and the
/// item shows that pixmap, so a long stroke costs the same per pointer move as a short one. The
/// pixmap starts at 512 x 512 around the press point and grows when the stroke leaves it; past
/// MaxPixmapSide the item paints its path instead. The segments are drawn opaque and the pixmap
/// is shown with the pen's alpha, so a translucent stroke stays even where it crosses itself.
/// When the stroke ends the pixmap is dropped and the item caches its painted path in device
/// coordinates, as long as it appears no larger than MaxPixmapSide on the scene.
class FreehandGraphic : public QAbstractGraphicsShapeItem, public BaseGraphic
{
public:
    enum { Type = UserType + 2 };
    static constexpr quint32 Capabilities = 0x2F9FB;
    /// A press without movement leaves a dot.
    static constexpr bool ClickDraws = true;
    static constexpr int InitialPixmapSide = 512;
    /// The largest pixmap side the item keeps, while drawing or as its cache.
    static constexpr int MaxPixmapSide = 4096;

    explicit FreehandGraphic(QGraphicsItem *parent = nullptr);
    /// A copy for cloning: the stroke, pen, the BaseGraphic state and the common item state.
    FreehandGraphic(const FreehandGraphic &other);
    ~FreehandGraphic() override;

    int type() const override { return Type; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    QPen pen() const override;
    void setPen(const QPen &pen) override;
    void setStartAnchor(int anchor) override;
    void setEndAnchor(int anchor) override;

    using BaseGraphic::brush;
    using BaseGraphic::scale;
    using BaseGraphic::setBrush;
    using BaseGraphic::setScale;

    /// Starts the stroke with a segment from 0.1 to the left of `point` to `point`, so that a
    /// click alone leaves a dot. False when the off-screen pixmap cannot be allocated.
    bool beginCreate(const QPointF &point) override;
    bool updateCreate(const QPointF &point) override;
    void endCreate() override;

    void writeXml(CanvasXmlWriter &writer) const override;
    bool readXml(CanvasXmlReader &reader) override;

    /// The recorded points.
    QPainterPath sourcePath() const { return source; }
    /// Replaces the recorded points, as reading a file does.
    void setSourcePath(const QPainterPath &path);
    /// The outlines of the anchor decorations, filled and stroked with the pen.
    QPainterPath anchorPath() const { return decorations; }

    /// True while the stroke is shown from its off-screen pixmap.
    bool isDrawingOffscreen() const { return !offscreen.isNull(); }
    /// The area the off-screen pixmap covers, in item coordinates; empty when there is none.
    QRectF offscreenRect() const;

protected:
    FreehandGraphic(quint32 capabilities, QGraphicsItem *parent);
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void rebuildGeometry();
    void updateCacheMode();
    void growBounds(const QPointF &point);
    /// Paints one segment into the pixmap, growing it or giving it up when the segment leaves
    /// it.
    void drawOffscreen(const QPointF &from, const QPointF &to);
    bool coverOffscreen(const QRectF &area);
    QRectF segmentRect(const QPointF &from, const QPointF &to) const;
    qreal margin() const;

    QPainterPath source;
    QPainterPath decorations;
    QRectF pathBounds;
    QRectF itemBounds;
    mutable QPainterPath shapeCache;
    QPixmap offscreen;
    QPointF offscreenOrigin;
    QPointF lastPoint;
};
