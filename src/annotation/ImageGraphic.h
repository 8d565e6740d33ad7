#pragma once

#include "BaseGraphic.h"

#include <QGraphicsPixmapItem>

/// An inserted picture, drawn with smooth scaling. Pictures are not written to the canvas file.
///
/// The drawing gesture places the picture: it is centred on the press point and follows the
/// pointer until release.
class ImageGraphic : public QGraphicsPixmapItem, public BaseGraphic
{
public:
    static constexpr quint32 Capabilities = 0xF9F8;

    explicit ImageGraphic(const QPixmap &pixmap = QPixmap(), QGraphicsItem *parent = nullptr);
    /// A copy for cloning: pixmap, offset, the BaseGraphic state and the common item state.
    ImageGraphic(const ImageGraphic &other);

    using BaseGraphic::scale;
    using BaseGraphic::setScale;

    /// Centres the picture on `point`; false when there is no picture to place.
    bool beginCreate(const QPointF &point) override;
    /// Keeps the picture centred on the pointer; true when it moved.
    bool updateCreate(const QPointF &point) override;
    void endCreate() override;

private:
    QPointF centredAt(const QPointF &point) const;
};
