#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace Bench {

/// A picture that changes at every tick, like slides with an animation or a video playing:
/// sixteen bars coloured by `colour(bar, tick)`, optionally the tick's number, and a black
/// square sweeping across, so that every frame differs from the last in colour and in place.
class MovingBars : public QWidget
{
public:
    using Colour = std::function<QColor(int bar, int tick)>;

    MovingBars(int periodMs, Colour colour, bool counter)
        : colour(std::move(colour))
        , counter(counter)
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] {
            ++tick;
            update();
        });
        timer->start(periodMs);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        for (int bar = 0; bar < 16; ++bar)
            painter.fillRect(bar * width() / 16, 0, width() / 16, height(), colour(bar, tick));
        if (counter) {
            painter.setFont(QFont(QStringLiteral("Sans"), 120));
            painter.drawText(rect(), Qt::AlignCenter, QString::number(tick));
        }
        painter.fillRect((tick * 17) % width(), height() / 3, 200, 200, Qt::black);
    }

private:
    Colour colour;
    bool counter;
    int tick = 0;
};

} // namespace Bench
