#pragma once

#include <QFrame>
#include <QRect>
#include <QSize>

class QToolButton;

/// The picture-in-picture frame: a small view of a second source over the main layout, with a
/// button at its bottom-right corner that asks to move it to the next corner of the window.
class PipView : public QFrame
{
    Q_OBJECT

public:
    /// Corners in the order the move button walks them.
    enum Corner { TopRight = 0, BottomRight = 1, BottomLeft = 2, TopLeft = 3 };

    explicit PipView(QWidget *parent = nullptr);

    int cornerIndex() const { return corner; }
    void setCornerIndex(int index);
    /// The corner after the current one, the last wrapping to the first.
    int nextCornerIndex() const { return (corner + 1) % 4; }

    /// Places `view` (made a child of this frame if needed) in the middle of the frame and keeps
    /// the move button above it.
    void centreView(QWidget *view);

    QToolButton *moveButton() const { return moveBtn; }

    /// Where a frame of `size` sits flush in `corner` of `area`.
    static QRect cornerGeometry(const QRect &area, const QSize &size, int corner);

Q_SIGNALS:
    void movePressed();

public Q_SLOTS:
    void btnPressed();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeMoveButton();

    QToolButton *moveBtn = nullptr;
    int corner = TopRight;
};
