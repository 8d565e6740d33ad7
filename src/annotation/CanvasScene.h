#pragma once

#include <QGraphicsScene>

class CanvasXmlReader;
class CanvasXmlWriter;

/// The annotation scene with its z range, and its `canvas` element of the canvas file.
///
/// The scene starts as 1024 x 768 on white. New and raised items take z values from the top of
/// the range, items sent to the back from its bottom, so stacking never needs renumbering.
/// Only items with BaseGraphic::CapSave are written; text boxes and pictures stay out of the
/// file.
class CanvasScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit CanvasScene(QObject *parent = nullptr);

    /// The z value the next item sent to the back gets.
    qreal zMin() const { return zBottom; }
    /// The z value the next new or raised item gets.
    qreal zMax() const { return zTop; }
    void setZRange(qreal zMin, qreal zMax);
    /// zMax(), then moves it up by 1.
    qreal nextTopZ();
    /// zMin(), then moves it down by 1.
    qreal nextBottomZ();

    /// The items the canvas file holds.
    int saveableItemCount() const;

    /// Paints the scene like QGraphicsScene::render(), with the items' device caches switched
    /// off for the time. Without a view to clip it, a cache is as large as its item appears on
    /// the target, and a canvas file can make that arbitrarily large (a tiny scene rectangle
    /// drawn onto a large image); painting directly stays within the target.
    void renderUncached(QPainter *painter, const QRectF &target = QRectF(),
                        const QRectF &source = QRectF(),
                        Qt::AspectRatioMode aspectRatioMode = Qt::KeepAspectRatio);

    /// Writes the `canvas` element: z range, item count, background, scene rectangle and one
    /// `graphic` per saveable item from the top of the stack down.
    void writeXml(CanvasXmlWriter &writer) const;
    /// Reads a `canvas` element into this scene, adding its items to those already there. Stops
    /// at the first error and answers false; the reader then holds one of CanvasXml's messages
    /// and the items read before the error stay in the scene.
    bool readXml(CanvasXmlReader &reader);

private:
    qreal zBottom = -1.0;
    qreal zTop = 0.0;
};
