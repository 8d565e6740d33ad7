#include "PresenterMask.h"

#include <Compositing.h>
#include <SettingIntf.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <cmath>
#include <vector>

namespace {
const QString SavedKey = QStringLiteral("saved");
constexpr double Opaque = 1.0;
constexpr double Translucent = 0.1;
// A shaped window shows one row in HatchPitch of its grey part when translucent.
constexpr int HatchPitch = 10;
} // namespace

PresenterMask::PresenterMask(const QString &name, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , name(name)
    , settings(SettingIntf::getInstance())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setCursor(Qt::OpenHandCursor);

    closeButton = new QPushButton(this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setFixedSize(ButtonSize, ButtonSize);
    closeButton->setFocusPolicy(Qt::NoFocus);
    closeButton->setCursor(Qt::ArrowCursor);
    closeButton->setStyleSheet(
            QStringLiteral("border:transparent;background-image:url(:Image/pics/close.png)"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::hide);

    menu = new QMenu(this);
    transparentAction = menu->addAction(tr("Transparent"));
    transparentAction->setCheckable(true);
    menu->addSeparator();
    saveAction = menu->addAction(tr("Save"));
    saveAction->setCheckable(true);
    // The tool button the menu hangs on is never shown: the menu opens on the right button.
    menuButton = new QToolButton(this);
    menuButton->setObjectName(QStringLiteral("menuButton"));
    menuButton->setFixedSize(ButtonSize, ButtonSize);
    menuButton->setMenu(menu);
    menuButton->setPopupMode(QToolButton::InstantPopup);
    menuButton->hide();
}

PresenterMask::~PresenterMask()
{
    settings->release();
}

void PresenterMask::toggleOpacity()
{
    setMaskOpacity(maskOpacity >= Opaque ? Translucent : Opaque);
}

void PresenterMask::setMaskOpacity(double opacity)
{
    maskOpacity = opacity;
    transparentAction->setChecked(opacity < Opaque);
    updateShape();
    update();
}

int PresenterMask::opacityPercent() const
{
    return qRound(maskOpacity * 100);
}

void PresenterMask::togglePreserved()
{
    setPreserved(!preserved);
}

void PresenterMask::setPreserved(bool preserve)
{
    preserved = preserve;
    saveAction->setChecked(preserve);
}

QColor PresenterMask::paintColour(const QColor &colour) const
{
    QColor painted = colour;
    if (!shaped)
        painted.setAlphaF(float(maskOpacity));
    return painted;
}

void PresenterMask::placeButtons(QPoint topLeft)
{
    closeButton->move(topLeft);
    menuButton->move(topLeft - QPoint(ButtonSize, 0));
}

void PresenterMask::updateShape()
{
    if (!shaped) {
        if (!mask().isEmpty())
            clearMask();
        return;
    }
    QRegion region = coveredRegion();
    // Without a compositing manager nothing can blend, so the translucent mask is a veil of
    // thin grey rows over the picture: a tenth of the rows for an opacity of 0.1.
    // _NET_WM_WINDOW_OPACITY would be ignored just the same without a compositor.
    if (maskOpacity < Opaque)
        region &= hatch();
    // The round close button stays on the screen whatever the mask covers.
    region |= QRegion(closeButton->geometry(), QRegion::Ellipse);
    setMask(region);
}

QRegion PresenterMask::hatch() const
{
    std::vector<QRect> rows;
    rows.reserve(height() / HatchPitch + 1);
    for (int y = 0; y < height(); y += HatchPitch)
        rows.emplace_back(0, y, width(), 1);
    QRegion region;
    region.setRects(rows.data(), int(rows.size()));
    return region;
}

void PresenterMask::showCursor(Qt::CursorShape shape)
{
    if (cursor().shape() != shape)
        setCursor(shape);
}

void PresenterMask::remember(const QVariantMap &properties, bool saved)
{
    const QString prefix = QStringLiteral("presenter/%1/").arg(name);
    for (auto property = properties.cbegin(); property != properties.cend(); ++property)
        settings->setValue(prefix + property.key(), property.value());
    settings->setValue(prefix + SavedKey, saved);
}

QVariantMap PresenterMask::recall(const QStringList &keys)
{
    QStringList asked = keys;
    asked << QStringLiteral("opacity");
    const QVariantMap saved = recalled(asked);
    setPreserved(!saved.isEmpty());
    setMaskOpacity(saved.value(QStringLiteral("opacity"), 100).toDouble() < 100 ? Translucent
                                                                                : Opaque);
    return saved;
}

QVariantMap PresenterMask::recalled(const QStringList &keys) const
{
    const QString prefix = QStringLiteral("presenter/%1/").arg(name);
    QVariantMap properties;
    if (!settings->value(prefix + SavedKey, false).toBool())
        return properties;
    // The file may have been edited by hand: what is not a finite number is left out.
    for (const QString &key : keys) {
        bool isNumber = false;
        const double value = settings->value(prefix + key).toDouble(&isNumber);
        if (isNumber && std::isfinite(value))
            properties.insert(key, value);
    }
    return properties;
}

void PresenterMask::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownBefore) {
        shownBefore = true;
        firstShow();
    }
    // A compositing manager may have started or stopped since the window was last shown.
    shaped = !Compositing::isAvailable();
    updateShape();
    update();
    announceShown(true);
}

void PresenterMask::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    announceShown(false);
}

void PresenterMask::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateShape();
}

void PresenterMask::contextMenuEvent(QContextMenuEvent *event)
{
    // A hidden menu button alone would leave "Transparent" and "Save" out of reach.
    menu->popup(event->globalPos());
}
