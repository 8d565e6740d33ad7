#pragma once

#include <QColor>
#include <QToolButton>

/// A swatch: a tool button that shows one colour and hands it on when clicked.
class ColorButton : public QToolButton
{
    Q_OBJECT

public:
    explicit ColorButton(QWidget *parent = nullptr);

    QColor color() const { return swatch; }
    /// Shows `color` (opaque: the swatch stands for the hue, transparency is set elsewhere).
    void setColor(const QColor &color);

public Q_SLOTS:
    void beClicked();

Q_SIGNALS:
    void clickToGetColor(QColor color);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void paintSwatch();

    QColor swatch = Qt::black;
};
