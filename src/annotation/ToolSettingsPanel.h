#pragma once

#include <QWidget>

class ColorCube;
class QGridLayout;

/// What every drawing tool's settings panel looks like: rows of settings on the left, each a
/// label, a control and, for a slider, its value, and the colour cube on the right.
class ToolSettingsPanel : public QWidget
{
    Q_OBJECT

protected:
    explicit ToolSettingsPanel(QWidget *parent);

    /// The rows: a label, a control and a value in columns 0 to 2.
    QGridLayout *settingsGrid() const { return grid; }
    ColorCube *colorCube() const { return cube; }

private:
    QGridLayout *grid;
    ColorCube *cube;
};
