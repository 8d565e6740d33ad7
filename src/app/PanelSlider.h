#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QPushButton>

class QPropertyAnimation;

/// Slides one of the main window's overlay panels into view from an edge of its parent and back
/// out of it, and shows the panel's handle button while the panel is away.
///
/// The tools strip hangs from the top edge (shown at y = 0, hidden at y = minus its height,
/// centred across); the media-library panel leans on the left edge (shown at x = 0, hidden at
/// x = minus its width, full height). Each slide is a short animation of the panel's position.
class PanelSlider : public QObject
{
    Q_OBJECT

public:
    enum class Edge { Top, Left };

    /// A handle's size along its edge and across it.
    static constexpr int HandleLength = 130;
    static constexpr int HandleThickness = 25;

    PanelSlider(QWidget *panel, QPushButton *handle, Edge edge, int duration,
                QObject *parent = nullptr);

    bool isShown() const { return shown; }
    /// Slides the panel in (or puts it there at once) and hides the handle.
    void show(bool animated = true);
    /// Slides the panel out (or puts it there at once) and shows the handle.
    void hide(bool animated = true);
    /// Puts the panel and the handle where the current state wants them, for example after the
    /// parent or the panel changed size. A slide under way is finished first.
    void place();
    /// Whether a slide is under way.
    bool isSliding() const { return !animation.isNull(); }

    QPoint shownPosition() const;
    QPoint hiddenPosition() const;

Q_SIGNALS:
    /// A slide reached its end.
    void slideFinished(bool shown);

private:
    void slideTo(const QPoint &target, bool animated);
    void placeHandle();

    QWidget *panel;
    QPushButton *handle;
    Edge edge;
    int duration;
    bool shown = false;
    QPointer<QPropertyAnimation> animation;
};

/// The tab that stays at a window edge while its panel is away; on the left edge its text runs
/// upwards so the tab stays narrow.
class HandleButton : public QPushButton
{
    Q_OBJECT

public:
    HandleButton(const QString &text, Qt::Orientation orientation, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation orientation;
};
