#pragma once

#include "PenSettingsPanel.h"

class QButtonGroup;

/// The pen settings of the shape tool and the kind of shape it draws: rectangle, ellipse,
/// triangle or right triangle (shape kinds 0 to 3).
class ShapePanel : public PenSettingsPanel
{
    Q_OBJECT

public:
    explicit ShapePanel(QWidget *parent = nullptr);

public Q_SLOTS:
    /// `kind` is the id of the button clicked, which is the shape kind it stands for.
    void shapeButtonClicked(int kind);

private:
    QButtonGroup *shapes;
};
