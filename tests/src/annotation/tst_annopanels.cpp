#include "CanvasBoard.h"

#include <AnnoPanel.h>
#include <AnnotationIntf.h>
#include <ColorButton.h>
#include <ColorWheel.h>
#include <ColorWheelGeometry.h>
#include <FontSizeValidator.h>
#include <FreehandPanel.h>
#include <LinePanel.h>
#include <ShapeGraphic.h>
#include <ShapePanel.h>
#include <TextPanel.h>
#include <VeloraTest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainterPathStroker>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(AnnotationIntf::PenTool)
Q_DECLARE_METATYPE(AnnotationIntf::Tool)

namespace {

/// The shared annotation component, held for one test so that each starts from its own
/// default pens and an empty history.
struct Component
{
    AnnotationIntf *annotation = AnnotationIntf::getInstance();
    ~Component() { annotation->release(); }
    AnnotationIntf *operator->() const { return annotation; }
};

template<typename T> T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

QString text(const QObject *parent, const char *label)
{
    return child<QLabel>(parent, label)->text();
}

std::unique_ptr<QWidget> penPanel(AnnotationIntf::PenTool tool)
{
    if (tool == AnnotationIntf::FreehandPen)
        return std::make_unique<FreehandPanel>();
    if (tool == AnnotationIntf::LinePen)
        return std::make_unique<LinePanel>();
    return std::make_unique<ShapePanel>();
}

/// Moves `slider` as far as its keys go one way.
void slideToEnd(QSlider *slider, Qt::Key key)
{
    slider->setFocus();
    QTest::keyClick(slider, key);
}

/// The colour wheel with the colour dialog answered by the test.
class AnsweredColorWheel : public ColorWheel
{
public:
    QColor answer;
    QList<QColor> asked;

protected:
    QColor askForColor(const QColor &initial) override
    {
        asked << initial;
        return answer;
    }
};

/// The tool bar in a window with a canvas laid over the window's drawing area.
struct Board
{
    QWidget window;
    QWidget *drawingArea;
    AnnoPanel *panel;
    CanvasView *view = nullptr;

    Board()
        : drawingArea(new QWidget(&window))
        , panel(new AnnoPanel(&window))
    {
        drawingArea->setGeometry(0, 0, 400, 300);
        panel->move(0, 310);
        window.resize(std::max(panel->width(), 400), 310 + 200);
        view = AnnotationIntf::current()->createCanvas(drawingArea, QSize(400, 300));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QToolButton *button(const char *name) const { return child<QToolButton>(panel, name); }
    int items() const
    {
        int count = 0;
        for (const QGraphicsItem *item : view->scene()->items())
            count += item->parentItem() == nullptr;
        return count;
    }
};

} // namespace

class TestAnnoPanels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void penPanelStartsFromThePenAndSetsIt_data()
    {
        QTest::addColumn<AnnotationIntf::PenTool>("tool");
        QTest::addColumn<bool>("component"); // without, the panel only shows its values
        QTest::newRow("freehand") << AnnotationIntf::FreehandPen << true;
        QTest::newRow("line") << AnnotationIntf::LinePen << true;
        QTest::newRow("shape") << AnnotationIntf::ShapePen << true;
        QTest::newRow("line without component") << AnnotationIntf::LinePen << false;
    }
    void penPanelStartsFromThePenAndSetsIt()
    {
        QFETCH(AnnotationIntf::PenTool, tool);
        QFETCH(bool, component);
        std::optional<Component> annotation;
        if (component) {
            annotation.emplace();
            (*annotation)->setPenWidth(tool, 12);
            (*annotation)->setPenColor(tool, QColor(0, 0, 255, 0));
        }
        auto panel = penPanel(tool);
        panel->show();
        auto *current = child<ColorButton>(panel.get(), "curColorBtn");
        if (annotation) {
            QCOMPARE(text(panel.get(), "thicknessLabel"), QStringLiteral(" 12 px"));
            QCOMPARE(text(panel.get(), "transparencyLabel"), QStringLiteral(" 100 %"));
            QCOMPARE(current->color(), QColor(0, 0, 255));
        }
        // A new colour keeps the transparency; a new transparency keeps the colour.
        auto *red = child<ColorButton>(panel.get(), "redBtn");
        QTest::mouseClick(red, Qt::LeftButton);
        QCOMPARE(current->color(), red->color());
        const auto penIs = [&](int alpha, qreal width) {
            return !annotation
                    || ((*annotation)->penColor(tool)
                                == QColor::fromRgba((red->color().rgb() & 0xffffff)
                                                    | uint(alpha) << 24)
                        && (*annotation)->penWidth(tool) == width);
        };
        QVERIFY(penIs(0, 12));
        auto *transparency = child<QSlider>(panel.get(), "transparencySlider");
        for (const auto &[percent, alpha] :
             {std::pair(0, 255), std::pair(100, 0), std::pair(1, 253), std::pair(50, 128)}) {
            transparency->setValue(percent);
            QCOMPARE(text(panel.get(), "transparencyLabel"), QStringLiteral(" %1 %").arg(percent));
            QVERIFY2(penIs(alpha, 12), qPrintable(QString::number(percent)));
        }

        // The thickness runs from one pixel to 99.
        auto *thickness = child<QSlider>(panel.get(), "thicknessSlider");
        slideToEnd(thickness, Qt::Key_End);
        QCOMPARE(text(panel.get(), "thicknessLabel"), QStringLiteral(" 99 px"));
        QVERIFY(penIs(128, 99));
        slideToEnd(thickness, Qt::Key_Home);
        QTest::keyClick(thickness, Qt::Key_PageDown);
        QCOMPARE(text(panel.get(), "thicknessLabel"), QStringLiteral(" 1 px"));
        QVERIFY(penIs(128, 1));
        // A panel built now starts from that pen.
        if (annotation)
            QCOMPARE(text(penPanel(tool).get(), "transparencyLabel"), QStringLiteral(" 50 %"));
        QCOMPARE(AnnotationIntf::current() != nullptr, component);
    }

    void shapeButtonShowsAndChoosesTheKindItDraws_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("rectangle") << 0 << "Rectangle";
        QTest::newRow("ellipse") << 1 << "Ellipse";
        QTest::newRow("triangle") << 2 << "Triangle";
        QTest::newRow("right triangle") << 3 << "Right triangle";
    }
    void shapeButtonShowsAndChoosesTheKindItDraws()
    {
        QFETCH(int, kind);
        QFETCH(QString, toolTip);
        Component annotation;
        annotation->setShapeKind(kind);
        ShapePanel panel;
        panel.show();
        QAbstractButton *button = panel.findChild<QButtonGroup *>()->button(kind);
        QVERIFY(button && button->isChecked());
        QCOMPARE(button->toolTip(), toolTip);

        // The picture is the outline the kind draws in the picture's box: every inked pixel lies
        // on it, and it is inked all the way round.
        const QImage picture = button->icon().pixmap(64, 64).toImage();
        const auto inked = [&picture](const QPoint &pixel) {
            return qAlpha(picture.pixel(pixel)) > 128;
        };
        QRect box;
        for (int i = 0; i < 64 * 64; ++i)
            box |= inked({i % 64, i / 64}) ? QRect(i % 64, i / 64, 1, 1) : QRect();
        const qreal halfPen = 2.5;
        const QPainterPath outline = ShapeGraphic::templatePath(
                quint32(kind), QRectF(box).adjusted(halfPen, halfPen, -halfPen, -halfPen));
        QPainterPathStroker stroker;
        stroker.setWidth(4 * halfPen);
        stroker.setJoinStyle(Qt::RoundJoin);
        const QPainterPath near = stroker.createStroke(outline);
        for (int i = 0; i < 64 * 64; ++i) {
            const QPoint pixel(i % 64, i / 64);
            QVERIFY2(!inked(pixel) || near.contains(QPointF(pixel) + QPointF(0.5, 0.5)),
                     qPrintable(toolTip));
        }
        for (qreal along = 0; along < 1; along += 0.025)
            QVERIFY2(inked(outline.pointAtPercent(along).toPoint()), qPrintable(toolTip));

        QAbstractButton *other = panel.findChild<QButtonGroup *>()->button(kind == 0 ? 1 : 0);
        QTest::mouseClick(other, Qt::LeftButton);
        QCOMPARE(annotation->shapeKind(), kind == 0 ? 1 : 0);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(annotation->shapeKind(), kind);
        QVERIFY(button->isChecked());
    }

    void fontSizeValidator_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QValidator::State>("state");
        QTest::newRow("empty") << "" << QValidator::Invalid;
        QTest::newRow("zero") << "0" << QValidator::Invalid;
        QTest::newRow("smallest") << "1" << QValidator::Acceptable;
        QTest::newRow("largest") << "99" << QValidator::Acceptable;
        QTest::newRow("too large") << "100" << QValidator::Invalid;
        QTest::newRow("letters") << "ab" << QValidator::Invalid;
    }
    void fontSizeValidator()
    {
        QFETCH(QString, input);
        QFETCH(QValidator::State, state);
        FontSizeValidator validator(1, 99);
        int pos = 0;
        QCOMPARE(validator.validate(input, pos), state);
    }

    void textSettingsReachComponent()
    {
        Component annotation;
        TextPanel panel;
        panel.show();
        QTest::mouseClick(child<QToolButton>(&panel, "boldBtn"), Qt::LeftButton);
        QTest::mouseClick(child<QToolButton>(&panel, "underlineBtn"), Qt::LeftButton);
        QVERIFY(annotation->textFont().bold());
        QVERIFY(!annotation->textFont().italic());
        QVERIFY(annotation->textFont().underline());

        QLineEdit *size = child<QComboBox>(&panel, "fontSizeComboBox")->lineEdit();
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("37"));
        QTest::keyClick(size, Qt::Key_Return);
        QCOMPARE(annotation->textFont().pointSize(), 37);
    }

    void colorWheelButtons_data()
    {
        QTest::addColumn<QPointF>("unit");
        QTest::addColumn<QColor>("answer");
        QTest::addColumn<QColor>("colour");
        const QColor colours[] = {{252, 58, 59}, {255, 156, 58}, {255, 230, 52},
                                  {76, 180, 52}, {48, 85, 255},  {110, 52, 186}};
        for (int segment = 0; segment < 6; ++segment) {
            QTest::addRow("segment %d", segment)
                    << ColorWheelGeometry::inside(ColorWheelGeometry::segment(segment)) << QColor()
                    << colours[segment];
        }
        const QPointF middle = ColorWheelGeometry::inside(ColorWheelGeometry::moreColours());
        QTest::newRow("middle, chosen") << middle << QColor(12, 34, 56) << QColor(12, 34, 56);
        QTest::newRow("middle, cancelled") << middle << QColor() << QColor();
        QTest::newRow("corner") << QPointF(0.02, 0.02) << QColor() << QColor();
    }
    void colorWheelButtons()
    {
        QFETCH(QPointF, unit);
        QFETCH(QColor, answer);
        QFETCH(QColor, colour);
        AnsweredColorWheel wheel;
        wheel.answer = answer;
        wheel.resize(90, 90);
        wheel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wheel));
        const QPoint point(qRound(unit.x() * 90), qRound(unit.y() * 90));
        const bool button = unit != QPointF(0.02, 0.02);
        QTest::mouseMove(&wheel, point + QPoint(1, 1)); // a move, wherever the last row left off
        QTest::mouseMove(&wheel, point);
        QTRY_COMPARE(wheel.cursor().shape(), button ? Qt::PointingHandCursor : Qt::ArrowCursor);

        QSignalSpy changed(&wheel, &ColorWheel::colorChanged);
        QTest::mouseClick(&wheel, Qt::LeftButton, {}, point);
        // Only the middle asks, starting from the current colour; a cancelled question changes
        // nothing, and neither does the colour already current.
        const bool middle = QTest::currentDataTag()[0] == 'm';
        QCOMPARE(wheel.asked, middle ? QList<QColor>{QColor(Qt::black)} : QList<QColor>());
        QCOMPARE(wheel.color(), colour.isValid() ? colour : QColor(Qt::black));
        QTest::mouseClick(&wheel, Qt::LeftButton, {}, point);
        QCOMPARE(changed.count(), colour.isValid() ? 1 : 0);
    }

    void toolButtonShowsItsSettings_data()
    {
        // Each row is named after its button and settings panel.
        QTest::addColumn<AnnotationIntf::Tool>("tool");
        QTest::newRow("freehand") << AnnotationIntf::FreehandTool;
        QTest::newRow("line") << AnnotationIntf::LineTool;
        QTest::newRow("shape") << AnnotationIntf::ShapeTool;
        QTest::newRow("text") << AnnotationIntf::TextTool;
    }
    void toolButtonShowsItsSettings()
    {
        QFETCH(AnnotationIntf::Tool, tool);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const QString button = name + QStringLiteral("Btn");
        const QString settings = name.at(0).toUpper() + name.mid(1) + QStringLiteral("Panel");
        Component annotation;
        Board board;
        const auto shownPanels = [&board] {
            QStringList shown;
            for (const char *panel : {"FreehandPanel", "LinePanel", "ShapePanel", "TextPanel"}) {
                if (child<QWidget>(board.panel, panel)->isVisible())
                    shown << QLatin1String(panel);
            }
            return shown;
        };
        // Start from another tool, so that its panel has to go.
        const char *other = tool == AnnotationIntf::TextTool ? "lineBtn" : "textBtn";
        QTest::mouseClick(board.button(other), Qt::LeftButton);
        QTRY_COMPARE(shownPanels().size(), 1);

        QTest::mouseClick(board.button(qPrintable(button)), Qt::LeftButton);
        QCOMPARE(annotation->currentTool(), tool);
        QVERIFY(board.button(qPrintable(button))->isChecked());
        QTRY_COMPARE(shownPanels(), QStringList{settings});
        // Slid into place, with the marker under the tool's button.
        QCOMPARE(child<QWidget>(board.panel, qPrintable(settings))->pos(), QPoint(0, 0));
        const QWidget *marker = child<QWidget>(board.panel, "labelBack");
        QVERIFY(marker->isVisible());
        QVERIFY(qAbs(marker->geometry().center().x()
                     - board.button(qPrintable(button))->geometry().center().x())
                <= 1);

        // The chosen tool's button again keeps the tool and its settings.
        QTest::mouseClick(board.button(qPrintable(button)), Qt::LeftButton);
        QCOMPARE(annotation->currentTool(), tool);
        QVERIFY(board.button(qPrintable(button))->isChecked());

        // The panel follows a tool chosen elsewhere, and no tool at all.
        annotation->selectTool(AnnotationIntf::NoTool);
        QTRY_VERIFY(!child<QWidget>(board.panel, "settingsArea")->isVisible());
        QVERIFY(!board.button(qPrintable(button))->isChecked());
        annotation->selectTool(tool);
        QTRY_COMPARE(shownPanels(), QStringList{settings});
        QVERIFY(board.button(qPrintable(button))->isChecked());
    }

    void shortcutsEditActiveCanvas_data()
    {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<bool>("selectFirst");
        QTest::addColumn<int>("itemsAfter");
        QTest::addColumn<int>("itemsAfterUndo");
        QTest::newRow("clear") << QKeySequence(QStringLiteral("Ctrl+K")) << false << 0 << 1;
        QTest::newRow("delete") << QKeySequence(QKeySequence::Delete) << true << 0 << 1;
        QTest::newRow("delete nothing chosen")
                << QKeySequence(QKeySequence::Delete) << false << 1 << 0;
    }
    void shortcutsEditActiveCanvas()
    {
        QFETCH(QKeySequence, key);
        QFETCH(bool, selectFirst);
        QFETCH(int, itemsAfter);
        QFETCH(int, itemsAfterUndo);
        Component annotation;
        Board board;
        QVERIFY(!board.button("undoBtn")->isEnabled());
        QTest::mouseClick(board.button("freehandBtn"), Qt::LeftButton);
        Pointer(board.view).drag({{40, 40}, {80, 60}, {120, 50}});
        QCOMPARE(board.items(), 1);
        QVERIFY(board.button("undoBtn")->isEnabled());
        QVERIFY(!board.button("redoBtn")->isEnabled());
        if (selectFirst) {
            for (QGraphicsItem *item : board.view->scene()->items())
                item->setSelected(true);
        }
        board.window.activateWindow();
        QTest::keySequence(&board.window, key);
        QCOMPARE(board.items(), itemsAfter);
        QTest::keySequence(&board.window, QKeySequence::Undo);
        QCOMPARE(board.items(), itemsAfterUndo);
        QVERIFY(board.button("redoBtn")->isEnabled());
        QTest::keySequence(&board.window, QKeySequence::Redo);
        QCOMPARE(board.items(), itemsAfter);
        // The buttons do what the keys do.
        QTest::mouseClick(board.button("undoBtn"), Qt::LeftButton);
        QCOMPARE(board.items(), itemsAfterUndo);
        QTest::mouseClick(board.button("redoBtn"), Qt::LeftButton);
        QCOMPARE(board.items(), itemsAfter);

        // Gone, the panel is no longer told when undo becomes available.
        delete board.panel;
        annotation->undo();
        QCOMPARE(board.items(), itemsAfterUndo);
    }
};

VELORA_TEST_MAIN(TestAnnoPanels)
#include "tst_annopanels.moc"
