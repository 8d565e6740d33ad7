#pragma once

#include <QSlider>

/// A slider that reports its value once the presenter lets go of it, so that a drag across
/// the range sends the camera one command instead of one per pixel.
class SetValueSlider : public QSlider
{
    Q_OBJECT

public:
    explicit SetValueSlider(QWidget *parent = nullptr);
    explicit SetValueSlider(Qt::Orientation orientation, QWidget *parent = nullptr);

Q_SIGNALS:
    void mouseReleaseValue(uint value);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
};
