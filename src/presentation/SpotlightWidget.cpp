#include "SpotlightWidget.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {
// How far outside the spot's edges a press resizes it, and how far the circle's resize wedges
// reach in and out.
constexpr double Band = 15;
constexpr double WedgeInside = 30;
constexpr double WedgeOutside = 20;
// Room around the spot for the border and its mitred corners, which reach out two pen widths.
// Rows of the window that share one cut of the hole when the window is shaped.
constexpr int HoleBand = 4;
constexpr int PaintMargin = 2 * SpotlightWidget::PenWidth + 2;

/// Whether `at` lies in the band of width Band along the edge `a`–`b`, on the side away from
/// `inside`.
bool inBandOutside(QPointF a, QPointF b, QPointF inside, QPointF at)
{
    const QPointF along = b - a;
    const double length = std::hypot(along.x(), along.y());
    if (length <= 0)
        return false;
    QPointF normal(-along.y() / length, along.x() / length);
    if (QPointF::dotProduct(normal, inside - a) > 0)
        normal = -normal;
    const QPolygonF band({a, b, b + normal * Band, a + normal * Band});
    return band.containsPoint(at, Qt::OddEvenFill);
}

SpotlightIntf::SHAPE shapeFrom(const QVariant &value)
{
    const int shape = value.toInt();
    return shape == SpotlightIntf::TRIANGLE || shape == SpotlightIntf::RECTANGLE
            ? SpotlightIntf::SHAPE(shape)
            : SpotlightIntf::CIRCLE;
}

double halfSize(double value)
{
    return std::clamp(value, double(SpotlightWidget::MinHalfSize),
                      double(SpotlightWidget::MaxHalfSize));
}

/// `value` measured on a side that went from `from` to `to` pixels.
double scaled(double value, int from, int to)
{
    return from > 0 ? value * to / from : value;
}

/// The centre keeps its place in proportion to the side.
double scaledCentre(double centre, int from, int to)
{
    const int half = from / 2;
    return half > 0 ? centre + centre / half * (to - from) / 2.0 : centre;
}
} // namespace

SpotlightWidget::SpotlightWidget(QWidget *parent)
    : PresenterMask(QStringLiteral("spotlight"), parent)
{
    setObjectName(QStringLiteral("SpotlightWidget"));
    connect(closeButton, &QPushButton::clicked, this, &SpotlightWidget::spotClose);

    shapeGroup = new QActionGroup(this);
    shapeGroup->setExclusive(true);
    const auto shapeAction = [this](const QString &text, void (SpotlightWidget::*slot)()) {
        QAction *action = shapeGroup->addAction(text);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    triangleAction = shapeAction(tr("Triangle"), &SpotlightWidget::setTriangleShape);
    rectangleAction = shapeAction(tr("Rectangle"), &SpotlightWidget::setRectangleShape);
    circleAction = shapeAction(tr("Circle"), &SpotlightWidget::setCircleShape);
    circleAction->setChecked(true);
    menu->insertActions(transparentAction, shapeGroup->actions());
    menu->insertSeparator(transparentAction);

    connect(transparentAction, &QAction::triggered, this, &SpotlightWidget::setOpacity90);
    connect(saveAction, &QAction::triggered, this, &SpotlightWidget::preserveProperty);
    connect(this, &SpotlightWidget::saveSpotProperty, this,
            [this](QPoint p, SpotlightIntf::SHAPE shape, int w, int h, bool locked, int opacity) {
                remember({{QStringLiteral("x"), p.x()},
                          {QStringLiteral("y"), p.y()},
                          {QStringLiteral("w"), w},
                          {QStringLiteral("h"), h},
                          {QStringLiteral("shape"), int(shape)},
                          {QStringLiteral("opacity"), opacity}},
                         locked);
            });
}

void SpotlightWidget::preserveProperty()
{
    togglePreserved();
    announceProperties();
}

void SpotlightWidget::setTriangleShape()
{
    setShape(SpotlightIntf::TRIANGLE);
}

void SpotlightWidget::setRectangleShape()
{
    setShape(SpotlightIntf::RECTANGLE);
}

void SpotlightWidget::setCircleShape()
{
    setShape(SpotlightIntf::CIRCLE);
}

void SpotlightWidget::setOpacity90()
{
    toggleOpacity();
    if (!isPreserved())
        announceProperties();
}

void SpotlightWidget::setNewMaskSlot() { }

void SpotlightWidget::setShape(SpotlightIntf::SHAPE newShape, bool announce)
{
    shape = newShape;
    (shape == SpotlightIntf::TRIANGLE            ? triangleAction
             : shape == SpotlightIntf::RECTANGLE ? rectangleAction
                                                 : circleAction)
            ->setChecked(true);
    updateShape();
    update();
    if (announce && !isPreserved())
        announceProperties();
}

void SpotlightWidget::announceProperties()
{
    Q_EMIT saveSpotProperty(QPoint(qRound(cx), qRound(cy)), shape, qRound(w), qRound(h),
                            isPreserved(), opacityPercent());
}

QRegion SpotlightWidget::coveredRegion() const
{
    // A shaped window costs the X server, and the windows beneath it, by the rectangle: cut the
    // hole in bands of HoleBand rows, each as wide as the spot's narrowest row in it. The border
    // covers most of what the steps leave grey inside the spot's edge.
    const QRegion exact(spotPath().toFillPolygon().toPolygon());
    const QRect bounds = exact.boundingRect();
    const int bands = (bounds.height() + HoleBand - 1) / HoleBand;
    struct Band
    {
        int left = std::numeric_limits<int>::min();
        int right = std::numeric_limits<int>::max();
        int rows = 0;
    };
    std::vector<Band> spans(std::max(bands, 0));
    for (const QRect &row : exact) {
        for (int y = row.top(); y <= row.bottom(); ++y) {
            Band &band = spans[(y - bounds.top()) / HoleBand];
            band.left = std::max(band.left, row.left());
            band.right = std::min(band.right, row.right());
            ++band.rows;
        }
    }
    std::vector<QRect> cut;
    for (int i = 0; i < bands; ++i) {
        const int top = bounds.top() + i * HoleBand;
        const int height = std::min(HoleBand, bounds.bottom() + 1 - top);
        if (spans[i].rows == height && spans[i].left <= spans[i].right)
            cut.emplace_back(QPoint(spans[i].left, top), QPoint(spans[i].right, top + height - 1));
    }
    QRegion hole;
    hole.setRects(cut.data(), int(cut.size()));
    return QRegion(rect()) - hole;
}

void SpotlightWidget::firstShow()
{
    const QVariantMap saved = recall({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("w"),
                                      QStringLiteral("h"), QStringLiteral("shape")});
    // Without saved properties the spot starts in the middle, at the size the window gave it.
    cx = saved.value(QStringLiteral("x"), width() / 2).toDouble();
    cy = saved.value(QStringLiteral("y"), height() / 2).toDouble();
    w = saved.contains(QStringLiteral("w")) ? halfSize(saved.value(QStringLiteral("w")).toDouble())
                                            : qRound(w);
    h = saved.contains(QStringLiteral("h")) ? halfSize(saved.value(QStringLiteral("h")).toDouble())
                                            : qRound(h);
    // Starting up changes nothing worth storing.
    setShape(shapeFrom(saved.value(QStringLiteral("shape"))), false);
}

void SpotlightWidget::announceShown(bool shown)
{
    Q_EMIT showSpotLightWidget(shown);
}

QPainterPath SpotlightWidget::spotPath() const
{
    const int iw = qRound(w);
    const int ih = qRound(h);
    QPainterPath path;
    switch (shape) {
    case SpotlightIntf::TRIANGLE:
        path.addPolygon(QPolygonF({QPointF(cx, cy - ih), QPointF(cx - iw, cy + ih / 2),
                                   QPointF(cx + iw, cy + ih / 2)}));
        path.closeSubpath();
        break;
    case SpotlightIntf::RECTANGLE:
        path.addRect(QRectF(cx - iw, cy - ih, 2 * iw, 2 * ih));
        break;
    case SpotlightIntf::CIRCLE:
        path.addEllipse(QPointF(cx, cy), iw, ih);
        break;
    }
    return path;
}

QPainterPath SpotlightWidget::borderPath() const
{
    // The rectangle's and the circle's border lie outside the spot, leaving all of it in view.
    constexpr int out = PenWidth / 2;
    const int iw = qRound(w);
    const int ih = qRound(h);
    QPainterPath path;
    switch (shape) {
    case SpotlightIntf::TRIANGLE:
        return spotPath();
    case SpotlightIntf::RECTANGLE:
        path.addRect(QRectF(cx - iw, cy - ih, 2 * iw, 2 * ih).adjusted(-out, -out, out, out));
        break;
    case SpotlightIntf::CIRCLE:
        path.addEllipse(QPointF(cx, cy), iw + out, ih + out);
        break;
    }
    return path;
}

QRect SpotlightWidget::spotBounds() const
{
    return spotPath()
            .boundingRect()
            .adjusted(-PaintMargin, -PaintMargin, PaintMargin, PaintMargin)
            .toAlignedRect();
}

void SpotlightWidget::spotMoved(const QRect &before)
{
    // Only the spot's old and new place change; the grey around them stays as it is.
    update(QRegion(before) | spotBounds());
    updateShape();
}

void SpotlightWidget::paintEvent(QPaintEvent *event)
{
    const QRect box = spotBounds();
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QColor grey = paintColour(Grey);
    for (const QRect &around : event->region() - box)
        painter.fillRect(around, grey);
    if (event->rect().intersects(box))
        painter.drawImage(box.topLeft(), spotImage(box));
}

const QImage &SpotlightWidget::spotImage(const QRect &box)
{
    // Drawn again only when the spot changes shape, size or colour, or lands on another
    // fraction of a pixel: a drag then copies it instead of stroking a large antialiased
    // outline at every step.
    const QPointF fraction(cx - std::floor(cx), cy - std::floor(cy));
    const QColor grey = paintColour(Grey);
    const QColor border = paintColour(BorderColour);
    const auto key = std::make_tuple(shape, qRound(w), qRound(h), fraction.x(), fraction.y(),
                                     grey.rgba(), border.rgba(), box.size(), isShaped());
    if (spotKey == key && !spotCache.isNull())
        return spotCache;
    spotKey = key;
    spotCache = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
    spotCache.fill(grey);
    QPainter painter(&spotCache);
    painter.translate(-box.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    // A shaped window's hole is cut in steps that leave some of the spot inside the window;
    // there it stays grey, since a transparent pixel of a window nobody composites shows black.
    if (!isShaped()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillPath(spotPath(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    QPen pen(border, PenWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.strokePath(borderPath(), pen);
    return spotCache;
}

void SpotlightWidget::mousePressEvent(QMouseEvent *event)
{
    // The right button opens the menu instead.
    if (event->button() != Qt::LeftButton)
        return;
    pressed = true;
    if (!horizontalResize && !verticalResize) {
        lastPosition = event->position();
        showCursor(Qt::ClosedHandCursor);
    }
}

void SpotlightWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    if (!pressed) {
        hover(at);
        return;
    }
    const QRect before = spotBounds();
    // Pulling the triangle's sides or base moves them twice as far from the centre.
    const double pull = shape == SpotlightIntf::TRIANGLE ? 2 : 1;
    if (!horizontalResize && !verticalResize) {
        cx += at.x() - lastPosition.x();
        cy += at.y() - lastPosition.y();
        lastPosition = at;
        showCursor(Qt::ClosedHandCursor);
    }
    if (horizontalResize)
        w = halfSize(pull * std::abs(at.x() - cx));
    if (verticalResize)
        h = halfSize(pull * std::abs(at.y() - cy));
    spotMoved(before);
}

void SpotlightWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !pressed)
        return;
    showCursor(Qt::OpenHandCursor);
    pressed = false;
    horizontalResize = false;
    verticalResize = false;
    QTimer::singleShot(200, this, &SpotlightWidget::setNewMaskSlot);
    if (!isPreserved())
        announceProperties();
}

void SpotlightWidget::hover(QPointF at)
{
    const int iw = qRound(w);
    const int ih = qRound(h);
    const QPointF centre(cx, cy);
    bool horizontal = false;
    bool vertical = false;
    bool arrow = false;
    switch (shape) {
    case SpotlightIntf::CIRCLE: {
        // Four 60° wedges across the rim, from inside the spot to beyond its border.
        const QRectF outer
                = QRectF(cx - iw, cy - ih, 2 * iw, 2 * ih)
                          .adjusted(-WedgeOutside, -WedgeOutside, WedgeOutside, WedgeOutside);
        const auto inWedge = [&](QPointF tip, double startAngle) {
            QPainterPath wedge(tip);
            wedge.arcTo(outer, startAngle, 60);
            wedge.closeSubpath();
            return wedge.contains(at);
        };
        horizontal = inWedge(QPointF(cx - iw + WedgeInside, cy), 150)
                || inWedge(QPointF(cx + iw - WedgeInside, cy), 330);
        vertical = inWedge(QPointF(cx, cy - ih + WedgeInside), 60)
                || inWedge(QPointF(cx, cy + ih - WedgeInside), 240);
        arrow = at.x() >= width() - ButtonSize - 1 && at.y() <= ButtonSize + 1;
        break;
    }
    case SpotlightIntf::RECTANGLE:
        horizontal = QRectF(cx - iw - Band, cy - ih, Band, 2 * ih).contains(at)
                || QRectF(cx + iw, cy - ih, Band, 2 * ih).contains(at);
        vertical = QRectF(cx - iw, cy - ih - Band, 2 * iw, Band).contains(at)
                || QRectF(cx - iw, cy + ih, 2 * iw, Band).contains(at);
        break;
    case SpotlightIntf::TRIANGLE: {
        const QPointF apex(cx, cy - ih);
        horizontal = inBandOutside(apex, QPointF(cx - iw, cy + ih / 2), centre, at)
                || inBandOutside(apex, QPointF(cx + iw, cy + ih / 2), centre, at);
        vertical = QRectF(cx - iw, cy + ih / 2, 2 * iw, Band).contains(at);
        break;
    }
    }
    if (shape != SpotlightIntf::CIRCLE) {
        arrow = at.x() > cx + iw + 6 && at.x() < cx + iw + 10 + 32 && at.y() > cy - ih - 12
                && at.y() < cy - ih - 8 + 16;
    }
    horizontalResize = horizontal;
    verticalResize = !horizontal && vertical;
    showCursor(horizontalResize         ? Qt::SizeHorCursor
                       : verticalResize ? Qt::SizeVerCursor
                       : arrow          ? Qt::ArrowCursor
                                        : Qt::OpenHandCursor);
}

void SpotlightWidget::resizeEvent(QResizeEvent *event)
{
    // Measured from the size the spot was last laid out for rather than the event's old size:
    // a window resized while hidden hears of it at its next show without an old size.
    const QSize to = event->size();
    w = scaled(w, referenceSize.width(), to.width());
    cx = scaledCentre(cx, referenceSize.width(), to.width());
    h = scaled(h, referenceSize.height(), to.height());
    cy = scaledCentre(cy, referenceSize.height(), to.height());
    referenceSize = to;
    placeButtons(QPoint(width() - ButtonSize, 0));
    PresenterMask::resizeEvent(event);
    update();
}
