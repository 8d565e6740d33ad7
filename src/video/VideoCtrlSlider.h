#pragma once

#include <QSlider>

/// A slider whose handle jumps straight to where it is clicked, the way a video's position bar
/// is expected to behave, rather than stepping a page towards the click.
class VideoCtrlSlider : public QSlider
{
    Q_OBJECT

public:
    explicit VideoCtrlSlider(Qt::Orientation orientation, QWidget *parent = nullptr);

    /// The value a click `position` pixels along a slider `length` pixels long stands for.
    static int valueAt(int position, int length, int minimum, int maximum);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
