#pragma once

#include "FreehandGraphic.h"

/// A highlighter stroke: a freehand stroke whose pen colour is always half transparent (alpha
/// 127) so that what lies under it stays readable. Its opacity is not edited separately.
class HiliterGraphic : public FreehandGraphic
{
public:
    enum { Type = UserType + 5 };
    static constexpr quint32 Capabilities = 0x2F9F3;
    static constexpr int PenAlpha = 127;

    explicit HiliterGraphic(QGraphicsItem *parent = nullptr);
    HiliterGraphic(const HiliterGraphic &other);

    int type() const override { return Type; }

    /// The pen, with alpha 127 whatever was set or read.
    QPen pen() const override;
    /// Stores the pen with its colour's alpha forced to 127.
    void setPen(const QPen &pen) override;
};
