#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QString>
#include <QtGlobal>

class QGraphicsItem;
class CanvasXmlReader;
class CanvasXmlWriter;

/// What every annotation item carries beside its scene-graph base: the editing operations that
/// tools, panels and undo commands call, the drawing-gesture protocol, and the item's part of the
/// canvas file.
///
/// A concrete item derives from its QGraphicsItem subclass first and from BaseGraphic second,
/// and passes itself as the item: every operation here works on that item. The capability mask
/// says which operations the item accepts; an operation it does not accept is silently ignored,
/// so callers may apply an edit to a mixed selection without asking each item first.
///
/// The virtual operations keep a fixed order (see the numbered comments); the base versions do
/// nothing and answer empty, zero or false.
class BaseGraphic
{
public:
    /// Capability bits. Bits 4 to 8 are checked by the editing operations below, bit 17 by the
    /// canvas file; the others are carried for the tools, the editor and the undo commands.
    enum Capability : quint32 {
        CapPen = 1u << 0, ///< takes the editor's pen when created
        CapAnchors = 1u << 1, ///< start and end anchors
        CapBrush = 1u << 2, ///< takes the editor's brush when created
        CapOpacity = 1u << 3, ///< opacity can be edited
        CapScaleX = 1u << 4, ///< scaling along x
        CapScaleY = 1u << 5, ///< scaling along y (scaling is allowed with either bit)
        CapRotate = 1u << 6,
        CapFlip = 1u << 7, ///< mirrored top to bottom
        CapMirror = 1u << 8, ///< mirrored left to right
        CapFont = 1u << 9, ///< text formatting
        CapShapeKind = 1u << 10, ///< the shape kind can be changed
        CapDelete = 1u << 11,
        CapZOrder = 1u << 12,
        CapMove = 1u << 13,
        CapClone = 1u << 14,
        CapSelect = 1u << 15,
        CapLeaveSceneHook = 1u << 16, ///< aboutToLeaveScene() must run before removal
        CapSave = 1u << 17, ///< written to the canvas file
    };

    /// Start and end anchor decorations of lines and freehand strokes. Other values are kept
    /// and saved but draw nothing.
    enum Anchor : qint32 {
        AnchorNone = 0,
        AnchorArrow = 1, ///< a filled arrow head pointing away from the stroke
        AnchorDot = 2, ///< a filled round dot centred on the end point
    };

    virtual ~BaseGraphic();

    BaseGraphic(const BaseGraphic &) = delete;
    BaseGraphic &operator=(const BaseGraphic &) = delete;

    /// The BaseGraphic of a scene item, or null for items that are not annotation graphics.
    static BaseGraphic *fromItem(QGraphicsItem *item);

    // 0-3: pen and brush.
    virtual QPen pen() const;
    virtual void setPen(const QPen &pen);
    virtual QBrush brush() const;
    virtual void setBrush(const QBrush &brush);

    // 4-5: decorations at the two ends of open strokes (values of Anchor).
    virtual void setStartAnchor(int anchor);
    virtual void setEndAnchor(int anchor);

    // 6-13: text formatting at the text cursor.
    virtual QFont font() const;
    virtual QColor textColor() const;
    virtual void setFontFamily(const QString &family);
    virtual void setFontPointSize(qreal pointSize);
    virtual void setTextColor(const QColor &color);
    virtual void setBold(bool bold);
    virtual void setItalic(bool italic);
    virtual void setUnderline(bool underline);

    // 14-15: the kind of a closed shape (see ShapeGraphic).
    virtual quint32 shapeType() const;
    virtual void setShapeType(quint32 kind);

    // 16-19: geometry edits. The base versions check the capability, store the value and
    // rebuild the item's transform (rebuildTransform()).

    /// Ignored without CapScaleX or CapScaleY, for scale <= 0 and for exactly the current scale.
    virtual void setScale(qreal scale);
    /// Ignored without CapRotate and for a degree fuzzily equal to the current one.
    virtual void setDegree(qreal degree);
    /// Toggles the top-to-bottom mirroring; needs CapFlip. Its own inverse.
    virtual void flip();
    /// Toggles the left-to-right mirroring; needs CapMirror. Its own inverse.
    virtual void mirror();

    // 20-22: hooks around scene membership. No item of this library needs them.
    virtual void aboutToEnterScene();
    virtual void enteredScene();
    /// Called by the undo commands just before they take an item with CapLeaveSceneHook out of
    /// its scene.
    virtual void aboutToLeaveScene();

    // 23-25: the drawing gesture a tool drives from press to release, with points in scene
    // coordinates. Items that draw their geometry stay at position (0, 0) while they are drawn,
    // so these are their own coordinates too; an image moves itself to the point.

    /// Starts the gesture at the press point; false when the item cannot be drawn (no memory).
    virtual bool beginCreate(const QPointF &point);
    /// Extends the gesture to the pointer; true when that changed the item.
    virtual bool updateCreate(const QPointF &point);
    virtual void endCreate();

    // 26-27: the item's part of the canvas file, inside its `graphic` element.

    /// Writes the attributes and children of the `graphic` element.
    virtual void writeXml(CanvasXmlWriter &writer) const;
    /// Reads them from a reader positioned on the `graphic` start element. On failure the
    /// reader carries the error (see CanvasXml) and false is returned.
    virtual bool readXml(CanvasXmlReader &reader);

    quint32 capabilities() const { return capabilityMask; }
    bool hasCapability(quint32 capability) const { return (capabilityMask & capability) != 0; }

    QGraphicsItem *graphicsItem() const { return item; }

    int startAnchor() const { return startAnchorValue; }
    int endAnchor() const { return endAnchorValue; }

    qreal scale() const { return scaleValue; }
    qreal degree() const { return degreeValue; }
    bool isFlipped() const { return flipped; }
    bool isMirrored() const { return mirrored; }
    bool isCreating() const { return creating; }

    /// While a shape is drawn: true lets width and height differ, false keeps them equal.
    bool isFreeAspect() const { return freeAspect; }
    void setFreeAspect(bool free) { freeAspect = free; }

    /// A label of the caller's choosing; copied when cloning, never saved.
    QString name() const { return nameValue; }
    void setName(const QString &name) { nameValue = name; }

    /// Items that travel with this one (not owned); copied when cloning, never saved.
    QList<QGraphicsItem *> attachedItems() const { return attached; }
    void setAttachedItems(const QList<QGraphicsItem *> &items) { attached = items; }

    /// Writes `type`, `opacity`, `x`, `y` and `z`.
    void writeCommonAttributes(CanvasXmlWriter &writer) const;
    /// Reads `opacity`, `x` with `y`, and `z`, each only when present.
    bool readCommonAttributes(CanvasXmlReader &reader);
    /// Writes `start_anchor` and `end_anchor` (items with CapAnchors), `scale`, `degree`,
    /// `flipped` and `mirrored`.
    void writeTransformAttributes(CanvasXmlWriter &writer) const;
    /// Reads and stores what writeTransformAttributes() writes, without applying it: the item
    /// rebuilds its transform once its geometry has been read.
    bool readTransformAttributes(CanvasXmlReader &reader);

    /// Replaces the item's transform with translate(centre) · scale(sx, sy) · rotate(angle) ·
    /// translate(−centre) about the centre of the bounding rectangle, where sx and sy carry the
    /// mirroring and (per CapScaleX / CapScaleY) the scale, and the angle is negated when exactly
    /// one axis is mirrored so that a mirrored item still turns the way the user asked.
    void rebuildTransform();

    /// Copies position, z value, opacity, transform, parent, cursor, cache mode, accepted
    /// buttons, hover and drop acceptance, input hints and (within one scene) the focus proxy.
    /// A graphics effect is not shared: the item owns its effect and would delete it twice.
    void copyCommonState(const BaseGraphic &other);

protected:
    BaseGraphic(QGraphicsItem *self, quint32 capabilities);
    /// For cloning: copies mask, anchors, name, free-aspect flag, scale, degree, mirroring and
    /// the attached list; the copy is not being drawn.
    BaseGraphic(const BaseGraphic &other, QGraphicsItem *self);

    void setCreating(bool on) { creating = on; }
    /// Stores an anchor value without redrawing; for items that rebuild their decorations
    /// themselves.
    void storeStartAnchor(int anchor) { startAnchorValue = anchor; }
    void storeEndAnchor(int anchor) { endAnchorValue = anchor; }
    void storeScale(qreal scale) { scaleValue = scale; }
    void storeDegree(qreal degree) { degreeValue = degree; }
    void storeFlipped(bool on) { flipped = on; }
    void storeMirrored(bool on) { mirrored = on; }

private:
    quint32 capabilityMask;
    qint32 startAnchorValue = AnchorNone;
    qint32 endAnchorValue = AnchorNone;
    QString nameValue;
    bool freeAspect = true;
    QGraphicsItem *item;
    qreal scaleValue = 1.0;
    qreal degreeValue = 0.0;
    bool flipped = false;
    bool mirrored = false;
    bool creating = false;
    QList<QGraphicsItem *> attached;
};
