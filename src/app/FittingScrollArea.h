#pragma once

#include <QScrollArea>

/// A scroll area that asks for its content's whole size and scrolls only when that is more
/// than the room it is given: a panel floating over the picture grows with what it shows, yet
/// on a small screen its last controls stay reachable instead of hanging below the window.
class FittingScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit FittingScrollArea(QWidget *parent = nullptr);

    /// The most height the area may ask for.
    void setRoom(int height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int room = QWIDGETSIZE_MAX;
};
