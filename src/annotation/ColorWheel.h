#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

/// Six colours on a hexagonal wheel and, in its middle, the way to any other colour.
///
/// The wheel keeps the current colour: picking it again changes nothing, picking another makes
/// it current and announces it.
class ColorWheel : public QWidget
{
    Q_OBJECT

public:
    explicit ColorWheel(QWidget *parent = nullptr);

    QColor color() const { return current; }
    /// Makes `color` current without announcing it (the wheel follows the other swatches).
    void setColor(const QColor &color);

    QSize sizeHint() const override { return {64, 64}; }

Q_SIGNALS:
    void colorChanged(QColor newColor);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

    /// Asks the presenter for a colour starting from `initial`; invalid when cancelled. The
    /// platform's colour dialog, over the active window.
    virtual QColor askForColor(const QColor &initial);

private:
    /// What lies under a point of the widget.
    enum Hit { Nothing = -2, MoreColours = -1 };
    int hitAt(const QPointF &point) const;
    void choose(const QColor &color);

    QPixmap picture;
    QColor current = Qt::black;
};
