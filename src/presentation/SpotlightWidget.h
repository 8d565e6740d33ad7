#pragma once

#include "PresenterMask.h"
#include "SpotlightIntf.h"

#include <QImage>
#include <QPainterPath>
#include <QPointF>

#include <tuple>

class QActionGroup;

/// The spotlight's window: grey everywhere but a circle, triangle or rectangle with a blue
/// border, which the presenter drags to move and pulls at its edges to resize (half-sizes of
/// 50 to 500 pixels). The spot keeps its place relative to the window when the window resizes.
class SpotlightWidget : public PresenterMask
{
    Q_OBJECT

public:
    static constexpr int MinHalfSize = 50;
    static constexpr int MaxHalfSize = 500;
    static constexpr int PenWidth = 7;
    static constexpr QColor BorderColour = QColor(63, 72, 204);

    explicit SpotlightWidget(QWidget *parent = nullptr);

    SpotlightIntf::SHAPE spotShape() const { return shape; }
    QPointF spotCentre() const { return QPointF(cx, cy); }
    /// Half the spot's width and height.
    QSizeF spotHalfSize() const { return QSizeF(w, h); }

Q_SIGNALS:
    /// The window was shown (true) or hidden (false).
    void showSpotLightWidget(bool show);
    /// The spot's centre, shape, half-sizes, the "Save" check and the opacity in percent.
    void saveSpotProperty(QPoint p, SpotlightIntf::SHAPE shape, int w, int h, bool locked,
                          int opacity);
    void spotClose();

public Q_SLOTS:
    /// Toggles "Save".
    void preserveProperty();
    void setTriangleShape();
    void setRectangleShape();
    void setCircleShape();
    /// 1.0 ↔ 0.1.
    void setOpacity90();
    /// Called 200 ms after a drag ends; the window is shaped as it goes, so nothing is left.
    void setNewMaskSlot();

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
    void setShape(SpotlightIntf::SHAPE newShape, bool announce = true);
    /// The uncovered shape.
    QPainterPath spotPath() const;
    /// The line the border pen follows.
    QPainterPath borderPath() const;
    /// What the spot and its border paint on, with room for the pen's corners.
    QRect spotBounds() const;
    /// The spot, its border and the grey around them within `box`.
    const QImage &spotImage(const QRect &box);
    /// Repaints where the spot was (`before`) and where it is now.
    void spotMoved(const QRect &before);
    /// Sets the resize flags and the cursor for the pointer hovering at `at`.
    void hover(QPointF at);
    void announceProperties();

    double cx = 500;
    double cy = 500;
    double w = 100;
    double h = 100;
    SpotlightIntf::SHAPE shape = SpotlightIntf::CIRCLE;
    bool pressed = false;
    bool horizontalResize = false;
    bool verticalResize = false;
    QPointF lastPosition;
    /// The window size the spot's geometry is laid out for; the defaults are for 300 × 300.
    QSize referenceSize = QSize(300, 300);
    QImage spotCache;
    std::tuple<int, int, int, double, double, QRgb, QRgb, QSize, bool> spotKey;
    QActionGroup *shapeGroup;
    QAction *triangleAction;
    QAction *rectangleAction;
    QAction *circleAction;
};
