#pragma once

#include <QColor>
#include <QVariantMap>
#include <QWidget>

class QAction;
class QMenu;
class QPushButton;
class QToolButton;
class SettingIntf;

/// What the visor and the spotlight windows do alike: a frameless stay-on-top window over the
/// camera picture with a close button, a menu of actions (on the right button; its tool button
/// stays hidden), the 1.0 ↔ 0.1 opacity toggle, the "Save" check that keeps the mask as it is for
/// the next run, and the way the grey part reaches the screen.
///
/// With a compositing manager the window is translucent and paints its uncovered part
/// transparent. Without one, transparent pixels would show black, so the window is shaped to
/// the part it covers (QWidget::setMask) and the picture beneath shows through untouched.
/// Which of the two is decided each time the window is shown.
class PresenterMask : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ButtonSize = 16;
    /// The colour of everything the mask covers.
    static constexpr QColor Grey = QColor(127, 127, 127);

    ~PresenterMask() override;

    double opacity() const { return maskOpacity; }
    /// True while the window is shaped to its grey part because nothing composites it.
    bool isShaped() const { return shaped; }
    /// The "Save" check: the mask comes back as it is now at the next run.
    bool isPreserved() const { return preserved; }

protected:
    /// `name` keys the stored properties: "presenter/<name>/...".
    PresenterMask(const QString &name, QWidget *parent);

    /// The part of the window painted grey, in the window's coordinates.
    virtual QRegion coveredRegion() const = 0;
    /// The first show after construction: starts from the defaults or from what recall() gives
    /// back.
    virtual void firstShow() = 0;
    virtual void announceShown(bool shown) = 0;

    /// 1.0 ↔ 0.1, with "Transparent" checked while translucent, and the window repainted.
    void toggleOpacity();
    void setMaskOpacity(double opacity);
    int opacityPercent() const;
    void togglePreserved();
    void setPreserved(bool preserve);
    /// `colour` as the window paints it at the mask's opacity. A shaped window cannot blend, so
    /// it paints opaque and thins its grey part out instead (see updateShape()).
    QColor paintColour(const QColor &colour) const;
    /// Puts the close button at `topLeft` and the menu button just left of it.
    void placeButtons(QPoint topLeft);
    /// Shapes the window to its grey part again after that part changed; nothing when the
    /// window is composited.
    void updateShape();
    void showCursor(Qt::CursorShape shape);

    /// Stores the mask's properties under "presenter/<name>/", with whether "Save" was checked.
    void remember(const QVariantMap &properties, bool saved);
    /// Sets "Save" and the opacity as stored for the next run, or to their defaults, and gives
    /// back the other properties stored with "Save" checked (see recalled()).
    QVariantMap recall(const QStringList &keys);

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

    QPushButton *closeButton;
    QToolButton *menuButton;
    QMenu *menu;
    QAction *transparentAction;
    QAction *saveAction;

private:
    /// Those of `keys` stored with "Save" checked, as numbers; empty when they were stored
    /// without it. A key whose value is not a finite number is left out.
    QVariantMap recalled(const QStringList &keys) const;
    /// Every tenth row of the window, a tenth of its area.
    QRegion hatch() const;

    QString name;
    SettingIntf *settings;
    double maskOpacity = 1.0;
    bool preserved = false;
    bool shaped = false;
    bool shownBefore = false;
};
