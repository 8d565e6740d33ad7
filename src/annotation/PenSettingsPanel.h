#pragma once

#include "AnnotationIntf.h"

#include <QColor>
#include <QWidget>

class ColorCube;
class QGridLayout;
class QLabel;
class QSlider;

/// The settings of one drawing tool's pen: its thickness, its transparency and its colour.
///
/// The freehand, line and shape panels are this panel for their tool. Each change goes straight
/// to the annotation component, when there is one; the panel keeps no pen of its own beyond
/// what its controls show.
class PenSettingsPanel : public QWidget
{
    Q_OBJECT

public:
    AnnotationIntf::PenTool tool() const { return penTool; }

public Q_SLOTS:
    void thicknessChanged(int value);
    /// `value` is a transparency in percent: 0 draws opaque, 100 draws nothing at all.
    void opacityChanged(int value);
    void colorChanged(QColor newColor);

protected:
    /// Built from the component's current pen for `tool` when there is a component.
    PenSettingsPanel(AnnotationIntf::PenTool tool, QWidget *parent);

    /// The grid of the panel's rows: a label, a control and a value in columns 0 to 2. Tools
    /// with more settings add rows below the two sliders.
    QGridLayout *settingsGrid() const { return grid; }

private:
    /// The cube's colour with the alpha of `transparency`.
    QColor penColor(int transparency) const;
    void showThickness(int value);
    void showTransparency(int value);

    AnnotationIntf::PenTool penTool;
    QGridLayout *grid;
    QSlider *thicknessSlider;
    QLabel *thicknessLabel;
    QSlider *transparencySlider;
    QLabel *transparencyLabel;
    ColorCube *colorCube;
};
