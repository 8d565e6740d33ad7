#pragma once

#include <QColor>
#include <QWidget>

class ColorButton;
class ColorWheel;

/// The colour picker of the settings panels: the current colour, nine preset swatches and the
/// colour wheel. Whatever is picked becomes current and is announced once.
class ColorCube : public QWidget
{
    Q_OBJECT

public:
    explicit ColorCube(QWidget *parent = nullptr);

    QColor color() const { return current; }
    /// Shows `color` as current without announcing it; the alpha is dropped, since the cube
    /// picks hues and transparency is the panels' own setting.
    void setColor(const QColor &color);

Q_SIGNALS:
    void colorChanged(QColor newColor);

private Q_SLOTS:
    void pick(QColor color);

private:
    ColorButton *addSwatch(const char *objectName, const QColor &color, const QString &name);

    ColorButton *curColorBtn;
    ColorWheel *wheel;
    QColor current = Qt::red;
};
