// The visor and the spotlight on a real X server, with and without a compositing manager.

#include <Compositing.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <SpotlightImpl.h>
#include <SpotlightWidget.h>
#include <VeloraTest.h>
#include <VisorImpl.h>
#include <VisorWidget.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

#include <memory>

namespace {
const QRect area(100, 50, 1000, 700);
const QColor backdropColour(30, 160, 60);
// The default spot in `area`: centred, the 100 × 100 pixel spot laid out for 300 × 300 scaled.
const QPointF centre(500, 350);
const QSizeF half(333, 233);

/// Sends the event a real pointer would: a press or release of the left button, or a move with
/// `held` buttons.
void mouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::MouseButtons held = {})
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, {});
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, QPointF from, QPointF to)
{
    mouse(widget, QEvent::MouseMove, from);
    mouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(widget, QEvent::MouseMove, to, Qt::LeftButton);
    mouse(widget, QEvent::MouseButtonRelease, to);
}

QAction *action(QWidget *mask, const QString &text)
{
    for (QAction *candidate : mask->findChild<QMenu *>()->actions())
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

/// A mask shown over `area`; a spotlight then takes the shape its menu calls `shape`.
template<typename Mask> std::unique_ptr<Mask> shown(const QString &shape = {})
{
    auto mask = std::make_unique<Mask>();
    mask->setGeometry(area);
    mask->show();
    if (!QTest::qWaitForWindowExposed(mask.get()))
        return nullptr;
    if (!shape.isEmpty())
        action(mask.get(), shape)->trigger();
    return mask;
}

QColor screenColour(QPoint at)
{
    return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), 1, 1)
            .toImage()
            .pixel(0, 0);
}

/// The shared instance of `Intf` gives one window to all its users until the last lets go, and
/// its close button hides the window and says so.
template<typename Intf> void checkComponent(void (Intf::*closed)())
{
    QWidget mainWindow;
    Intf *component = Intf::getInstance(&mainWindow);
    QCOMPARE(Intf::getInstance(nullptr), component);
    QPointer<QWidget> window = component->widget();
    QVERIFY(window->isWindow());
    QSignalSpy closedSpy(component, closed);
    component->resize(area.width(), area.height());
    component->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->size(), area.size());
    // The right button opens the menu: its tool button is never shown.
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(50, 50));
    QApplication::sendEvent(window, &menuEvent);
    auto *menu = window->findChild<QMenu *>();
    QTRY_VERIFY(menu->isVisible());
    menu->close();
    window->findChild<QPushButton *>(QStringLiteral("closeButton"))->click();
    QCOMPARE(closedSpy.size(), 1);
    QVERIFY(window->isHidden());
    component->release();
    QVERIFY(window);
    component->release();
    QVERIFY(!window);
}

bool near(const QColor &seen, const QColor &expected)
{
    return qAbs(seen.red() - expected.red()) < 5 && qAbs(seen.green() - expected.green()) < 5
            && qAbs(seen.blue() - expected.blue()) < 5;
}
} // namespace

class TestPresenterMasks : public QObject
{
    Q_OBJECT

    // The camera picture the masks lie over.
    QWidget backdrop;

private Q_SLOTS:
    void initTestCase()
    {
        backdrop.setWindowFlags(Qt::FramelessWindowHint);
        backdrop.setStyleSheet(QStringLiteral("background: %1").arg(backdropColour.name()));
        backdrop.setGeometry(QGuiApplication::primaryScreen()->geometry());
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
    }

    // No case leaves a saved mask to the next, even when it fails.
    void cleanup()
    {
        ComponentRef<SettingIntf> settings;
        settings->setValue(QStringLiteral("presenter/spotlight/saved"), false);
        settings->setValue(QStringLiteral("presenter/visor/saved"), false);
    }

    void componentsShareTheirWindow()
    {
        checkComponent(&VisorIntf::visorClosed);
        checkComponent(&SpotlightIntf::spotlightClosed);
    }

    // "Save" keeps the mask as it was when checked for the next run; unchecked, the next run
    // starts afresh.
    void savedMaskComesBack()
    {
        auto spot = shown<SpotlightWidget>(QStringLiteral("Triangle"));
        drag(spot.get(), QPointF(60, 650), QPointF(100, 680));
        action(spot.get(), QStringLiteral("Transparent"))->trigger();
        action(spot.get(), QStringLiteral("Save"))->trigger();
        drag(spot.get(), QPointF(60, 650), QPointF(0, 600));
        auto visor = shown<VisorWidget>();
        drag(visor.get(), QPointF(500, 300), QPointF(800, 300));
        action(visor.get(), QStringLiteral("Save"))->trigger();

        spot = shown<SpotlightWidget>();
        QCOMPARE(spot->spotShape(), SpotlightIntf::TRIANGLE);
        QCOMPARE(spot->spotCentre(), centre + QPointF(40, 30));
        QCOMPARE(spot->opacity(), 0.1);
        QVERIFY(action(spot.get(), QStringLiteral("Save"))->isChecked());
        action(spot.get(), QStringLiteral("Save"))->trigger();
        visor = shown<VisorWidget>();
        QCOMPARE(visor->curtainPosition(), QPointF(300, 0));
        action(visor.get(), QStringLiteral("Save"))->trigger();

        spot = shown<SpotlightWidget>();
        QCOMPARE(spot->spotShape(), SpotlightIntf::CIRCLE);
        QCOMPARE(spot->spotCentre(), centre);
        QCOMPARE(spot->opacity(), 1.0);

        // A hand-edited file costs only the values it spoiled.
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setValue(QStringLiteral("presenter/spotlight/saved"), true);
        settings->setValue(QStringLiteral("presenter/spotlight/x"), QStringLiteral("nan"));
        settings->setValue(QStringLiteral("presenter/spotlight/w"), QStringLiteral("1e9"));
        settings->setValue(QStringLiteral("presenter/spotlight/shape"), QStringLiteral("7"));
        settings->release();
        spot = shown<SpotlightWidget>();
        QCOMPARE(spot->spotShape(), SpotlightIntf::CIRCLE);
        QCOMPARE(spot->spotCentre(), QPointF(centre.x(), centre.y() + 30));
        QCOMPARE(spot->spotHalfSize(), QSizeF(500, half.height()));
    }

    void visorFollowsOneAxis_data()
    {
        QTest::addColumn<QList<QPoint>>("moves"); // from the press point
        QTest::addColumn<QList<QPoint>>("curtain"); // after each move
        QTest::newRow("diagonal, then horizontal")
                << QList<QPoint>{{3, 3}, {4, -4}, {12, 4}, {40, 30}, {-60, 80}}
                << QList<QPoint>{{0, 0}, {0, 0}, {12, 0}, {40, 0}, {-60, 0}};
        QTest::newRow("diagonal, then vertical") << QList<QPoint>{{-2, 2}, {5, 11}, {30, -40}}
                                                 << QList<QPoint>{{0, 0}, {0, 11}, {0, -40}};
        QTest::newRow("a lead of 5 decides nothing")
                << QList<QPoint>{{6, 1}, {1, 6}, {1, 7}} << QList<QPoint>{{0, 0}, {0, 0}, {0, 7}};
        QTest::newRow("slid off, the close button stays")
                << QList<QPoint>{{5000, 0}} << QList<QPoint>{{area.width() + 1 - 16, 0}};
    }

    void visorFollowsOneAxis()
    {
        QFETCH(QList<QPoint>, moves);
        QFETCH(QList<QPoint>, curtain);
        auto owner = shown<VisorWidget>();
        QVERIFY(owner);
        VisorWidget *visor = owner.get();
        QSignalSpy saved(visor, &VisorWidget::saveVisorProperty);
        const QPoint press(500, 300);
        mouse(visor, QEvent::MouseButtonPress, press, Qt::LeftButton);
        const auto *close = visor->findChild<QPushButton *>(QStringLiteral("closeButton"));
        for (qsizetype i = 0; i < moves.size(); ++i) {
            mouse(visor, QEvent::MouseMove, press + moves[i], Qt::LeftButton);
            QCOMPARE(visor->curtainPosition(), curtain[i]);
            // The close button rides on the top-right corner of the curtain in view.
            QCOMPARE(close->geometry().topRight(),
                     QPoint(qMin(curtain[i].x() + area.width(), area.width()),
                            qMax(curtain[i].y(), 0)));
        }
        mouse(visor, QEvent::MouseButtonRelease, press + moves.last());
        QCOMPARE(visor->curtainPosition(), curtain.last());
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0][0].toPointF(), curtain.last());
    }

    // The cursor over a point tells what a press there does: move the spot, resize it (50 to 500
    // pixels), or nothing. A drag from the point to `to` does it; rows without `to` only hover.
    void spotlightHoverAndDrag_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QPointF>("grab");
        QTest::addColumn<Qt::CursorShape>("cursor");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QPointF>("newCentre");
        QTest::addColumn<QSizeF>("newHalf");
        const QPointF c = centre;
        const auto row
                = [](const char *name, const char *shape, QPointF grab, Qt::CursorShape cursor,
                     QPointF to = {}, QPointF newCentre = centre, QSizeF newHalf = half) {
                      QTest::newRow(name) << QString::fromLatin1(shape) << grab << cursor << to
                                          << newCentre << newHalf;
                  };
        row("grey dragged", "Circle", {60, 650}, Qt::OpenHandCursor, {100, 680},
            c + QPointF(40, 30));
        row("circle rim to the centre", "Circle", {162, 350}, Qt::SizeHorCursor, c, c, {50, 233});
        row("circle, inside the rim, beyond 500", "Circle", {187, 350}, Qt::SizeHorCursor,
            {-100, 350}, c, {500, 233});
        row("circle, within", "Circle", {207, 350}, Qt::OpenHandCursor);
        row("circle bottom to the centre", "Circle", {500, 593}, Qt::SizeVerCursor, {500, 360}, c,
            {333, 50});
        row("circle, by the close button", "Circle", {985, 5}, Qt::ArrowCursor);
        row("rectangle side beyond 500", "Rectangle", {843, 350}, Qt::SizeHorCursor, {1100, 350}, c,
            {500, 233});
        row("rectangle top to the centre", "Rectangle", {500, 107}, Qt::SizeVerCursor, {500, 340},
            c, {333, 50});
        row("rectangle, button strip", "Rectangle", {845, 112}, Qt::ArrowCursor);
        row("rectangle, beyond the band", "Rectangle", {863, 350}, Qt::OpenHandCursor);
        row("triangle side, twice as far", "Triangle", {328, 287}, Qt::SizeHorCursor, {300, 287}, c,
            {400, 233});
        row("triangle, inside a side", "Triangle", {339, 296}, Qt::OpenHandCursor);
        row("triangle base beyond 500", "Triangle", {500, 474}, Qt::SizeVerCursor, {500, 620}, c,
            {333, 500});
    }

    void spotlightHoverAndDrag()
    {
        QFETCH(QString, shape);
        QFETCH(QPointF, grab);
        QFETCH(Qt::CursorShape, cursor);
        QFETCH(QPointF, to);
        QFETCH(QPointF, newCentre);
        QFETCH(QSizeF, newHalf);
        auto owner = shown<SpotlightWidget>(shape);
        QVERIFY(owner);
        SpotlightWidget *spot = owner.get();
        QCOMPARE(spot->spotCentre(), centre);
        mouse(spot, QEvent::MouseMove, grab);
        QCOMPARE(spot->cursor().shape(), cursor);
        if (!to.isNull())
            drag(spot, grab, to);
        QCOMPARE(spot->spotCentre(), newCentre);
        QCOMPARE(spot->spotHalfSize(), newHalf);
    }

    // The spot keeps its place and proportion in a window resized while shown or hidden.
    void spotScalesWithTheWindow()
    {
        auto spot = shown<SpotlightWidget>();
        QVERIFY(spot);
        spot->resize(500, 350);
        QTRY_COMPARE(spot->spotCentre(), QPointF(250, 175));
        QCOMPARE(spot->spotHalfSize(), QSizeF(166.5, 116.5));
        spot->hide();
        spot->resize(area.size());
        spot->show();
        QTRY_COMPARE(spot->spotCentre(), centre);
        QCOMPARE(spot->spotHalfSize(), half);
    }

    // The picture shows at full brightness where the mask is open and grey, never black, where it
    // covers; "Transparent" lets the picture through, and a second time covers it again.
    void screenShowsPictureAndGrey_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("compositing");
        for (const char *kind : {"Visor", "Circle", "Triangle", "Rectangle"}) {
            QTest::addRow("%s, plain X server", kind) << QString::fromLatin1(kind) << false;
            QTest::addRow("%s, compositing manager", kind) << QString::fromLatin1(kind) << true;
        }
    }

    void screenShowsPictureAndGrey()
    {
        QFETCH(QString, kind);
        QFETCH(bool, compositing);
        QProcess manager;
        if (compositing)
            manager.start(QStringLiteral("xcompmgr"));
        QTRY_COMPARE(Compositing::isAvailable(), compositing);

        std::unique_ptr<PresenterMask> mask;
        if (kind == u"Visor")
            mask = shown<VisorWidget>();
        else
            mask = shown<SpotlightWidget>(kind);
        QVERIFY(mask);
        QCOMPARE(mask->isShaped(), !compositing);
        if (kind == u"Visor") {
            // The curtain covers all until dragged. Seeing it first also lets a compositing
            // manager that has just started take the window in before it changes.
            QTRY_COMPARE(screenColour(area.topLeft() + QPoint(150, 350)), PresenterMask::Grey);
            drag(mask.get(), QPointF(500, 300), QPointF(800, 300));
        }
        // Open: the spot's centre, or left of the curtain dragged 300 pixels to the right.
        const QPoint open
                = area.topLeft() + (kind == u"Visor" ? QPoint(150, 350) : QPoint(500, 350));
        // Covered: right of the curtain, or a corner of the box the spot is drawn in.
        const QPoint covered
                = area.topLeft() + (kind == u"Visor" ? QPoint(700, 600) : QPoint(155, 110));
        QTRY_COMPARE(screenColour(open), backdropColour);
        QTRY_COMPARE(screenColour(covered), PresenterMask::Grey);
        // Nothing of the mask shows black, not even along the edge of the spot.
        const auto blackPixels = [] {
            const QImage screen
                    = QGuiApplication::primaryScreen()
                              ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                              .toImage();
            int black = 0;
            for (int y = 0; y < screen.height(); ++y) {
                for (int x = 0; x < screen.width(); ++x)
                    black += qGray(screen.pixel(x, y)) < 16 ? 1 : 0;
            }
            return black;
        };
        QTRY_COMPARE(blackPixels(), 0);

        QAction *transparent = action(mask.get(), QStringLiteral("Transparent"));
        transparent->trigger();
        // Blended a tenth grey, or without a compositor a tenth of the rows grey.
        const QColor veiled(39, 157, 67);
        QTRY_VERIFY(near(screenColour(covered), compositing ? veiled : PresenterMask::Grey));
        QTRY_VERIFY(
                near(screenColour(covered + QPoint(0, 5)), compositing ? veiled : backdropColour));
        transparent->trigger();
        QTRY_COMPARE(screenColour(covered + QPoint(0, 5)), PresenterMask::Grey);
        QCOMPARE(screenColour(open), backdropColour);
        manager.terminate();
        manager.waitForFinished();
    }
};

VELORA_TEST_MAIN(TestPresenterMasks)
#include "tst_presentermasks.moc"
