#pragma once

#include "AnnotationIntf.h"
#include "ToolSettingsPanel.h"

#include <QColor>

class QLabel;
class QSlider;

/// The settings of one drawing tool's pen: its thickness, its transparency and its colour.
///
/// The freehand, line and shape panels are this panel for their tool. Each change goes straight
/// to the annotation component, when there is one; the panel keeps no pen of its own beyond
/// what its controls show.
class PenSettingsPanel : public ToolSettingsPanel
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

private:
    /// The cube's colour with the alpha of `transparency`.
    QColor penColor(int transparency) const;
    void showThickness(int value);
    void showTransparency(int value);

    AnnotationIntf::PenTool penTool;
    QSlider *thicknessSlider;
    QLabel *thicknessLabel;
    QSlider *transparencySlider;
    QLabel *transparencyLabel;
};
