#pragma once

#include "PresenterMask.h"

#include <QPointF>

/// The visor's window: a grey curtain as large as the window that the presenter drags away to
/// uncover the picture. A drag follows one axis only, chosen once the pointer has gone more than
/// 5 pixels further along it than along the other.
class VisorWidget : public PresenterMask
{
    Q_OBJECT

public:
    explicit VisorWidget(QWidget *parent = nullptr);

    /// The curtain's top-left corner in the window, the drag in progress included.
    QPointF curtainPosition() const { return shownAt; }

Q_SIGNALS:
    /// The window was shown (true) or hidden (false).
    void showVisorWidget(bool show);
    /// The curtain's position, the "Save" check and the opacity in percent.
    void saveVisorProperty(QPointF p, bool presave, int opacity);
    void visorClose();

public Q_SLOTS:
    /// Toggles "Save".
    void preserveProperty();
    /// 1.0 ↔ 0.1.
    void setOpacity90();
    /// Shapes the window to the curtain.
    void setNewMask();

protected:
    QRegion coveredRegion() const override;
    void firstShow() override;
    void announceShown(bool shown) override;

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum Direction { Undecided = 0, Horizontal = 1, Vertical = 2 };

    QRect curtainRect(QPointF at) const;
    /// `at` kept where the close button stays on the window, so that a curtain slid away can
    /// still be grabbed and closed.
    QPointF limited(QPointF at) const;
    /// Shows the curtain at `at`, repainting only what it uncovers and newly covers.
    void moveCurtain(QPointF at);
    QRect closeButtonRect() const;

    QPointF offset;
    QPointF dragOffset;
    QPointF pressPoint;
    bool dragging = false;
    Direction direction = Undecided;
    /// Where the curtain was painted last.
    QPointF shownAt;
};
