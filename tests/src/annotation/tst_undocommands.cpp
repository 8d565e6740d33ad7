// The undo commands against a real QUndoStack, a real QGraphicsScene and the real item classes.
// Items are subclassed only to count their destructions, so that the ownership hand-overs
// between scene and commands are observed, not inferred.

#include "FreehandGraphic.h"
#include "HiliterGraphic.h"
#include "ImageGraphic.h"
#include "LineGraphic.h"
#include "ShapeGraphic.h"
#include "TextGraphic.h"
#include "UndoCommands.h"

#include "VeloraTest.h"

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QPainterPath>
#include <QUndoStack>

#include <memory>

namespace {

/// A real item class that counts its destructions into a counter the test owns.
template<typename Item> class Counted : public Item
{
public:
    explicit Counted(int &destructions)
        : destructions(destructions)
    { }
    ~Counted() override { ++destructions; }

private:
    int &destructions;
};

/// No item class of the library asks for the leave-scene hook, so this one does: a plain
/// rectangle carrying the real BaseGraphic with the hook bit added to a shape's mask. It notes
/// whether it was still in its scene when told that it is about to leave it.
class HookedRect : public QGraphicsRectItem, public BaseGraphic
{
public:
    explicit HookedRect(quint32 capabilities)
        : QGraphicsRectItem(0, 0, 40, 30)
        , BaseGraphic(this, capabilities)
    { }

    void aboutToLeaveScene() override
    {
        ++calls;
        wasInSceneWhenCalled = scene() != nullptr;
    }

    int calls = 0;
    bool wasInSceneWhenCalled = false;
};

QGraphicsItem *makeItem(const QString &kind)
{
    if (kind == QLatin1String("freehand"))
        return new FreehandGraphic;
    if (kind == QLatin1String("line"))
        return new LineGraphic;
    if (kind == QLatin1String("image"))
        return new ImageGraphic;
    if (kind == QLatin1String("text"))
        return new TextGraphic;
    if (kind == QLatin1String("shape"))
        return new ShapeGraphic;
    if (kind == QLatin1String("highlighter"))
        return new HiliterGraphic;
    return nullptr;
}

/// A freehand stroke drawn the way the freehand tool draws it.
void drawStroke(FreehandGraphic &stroke, const QList<QPointF> &points)
{
    QVERIFY(stroke.beginCreate(points.first()));
    for (const QPointF &point : points.mid(1))
        stroke.updateCreate(point);
    stroke.endCreate();
}

void drawLine(LineGraphic &line, const QPointF &from, const QPointF &to)
{
    QVERIFY(line.beginCreate(from));
    line.updateCreate(to);
    line.endCreate();
}

void drawShape(ShapeGraphic &shape, const QPointF &from, const QPointF &to)
{
    QVERIFY(shape.beginCreate(from));
    shape.updateCreate(to);
    shape.endCreate();
}

/// What the user sees of an item: its outline placed in the scene, with geometry and transform.
QPainterPath sceneOutline(const QGraphicsItem &item)
{
    return item.sceneTransform().map(item.shape());
}

bool sameOutline(const QPainterPath &a, const QPainterPath &b)
{
    if (a.elementCount() != b.elementCount() || a.isEmpty())
        return false;
    for (int i = 0; i < a.elementCount(); ++i) {
        const QPainterPath::Element ea = a.elementAt(i);
        const QPainterPath::Element eb = b.elementAt(i);
        if (ea.type != eb.type || qAbs(ea.x - eb.x) > 1e-6 || qAbs(ea.y - eb.y) > 1e-6)
            return false;
    }
    return true;
}

} // namespace

class TestUndoCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newGraphicIsNamedAfterItsKind_data();
    void newGraphicIsNamedAfterItsKind();
    void undoneStrokeComesBackAsTheSameItem();
    void pushAfterUndoDestroysTheUndoneNewItem();
    void clearingTheStackDestroysOnlyUndoneNewItems();
    void deleteOfThreeItemsIsUndoneInOneStep();
    void deletedItemLivesUntilItsCommandLeavesTheStack_data();
    void deletedItemLivesUntilItsCommandLeavesTheStack();
    void undoneDeleteDiscardedByAPushLeavesTheItemToTheScene();
    void sceneDestroyedBeforeTheStackFreesEveryItemOnce();
    void moveExchangesPositions();
    void opacityExchangesValues();
    void zOrderRestoresStackingInsideItsMacro();
    void scaleOfLineUndoneToOneAndRedoneToTwo();
    void rotateGoesThroughTheGraphicsDegree();
    void flipUndoRedoUndo();
    void mirrorUndoRedoUndo();
    void commandsOfTheSameItemAreNeverMerged();
    void leaveSceneHookRunsBeforeEachRemoval();
    void macroTexts();
};

void TestUndoCommands::newGraphicIsNamedAfterItsKind_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("freehand") << "freehand"
                              << "Undo Freehand";
    QTest::newRow("line") << "line"
                          << "Undo Line";
    QTest::newRow("image") << "image"
                           << "Undo Insert Image File";
    QTest::newRow("text") << "text"
                          << "Undo Text";
    QTest::newRow("shape") << "shape"
                           << "Undo Shape";
    QTest::newRow("highlighter") << "highlighter"
                                 << "Undo Highlighter";
}

void TestUndoCommands::newGraphicIsNamedAfterItsKind()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);

    QGraphicsScene scene;
    QUndoStack stack;
    QGraphicsItem *item = makeItem(kind);
    QVERIFY(item);
    scene.addItem(item);
    stack.push(new UndoNewGraphic(item));

    QCOMPARE(stack.undoText(), text);
}

void TestUndoCommands::undoneStrokeComesBackAsTheSameItem()
{
    int destructions = 0;
    auto scene = std::make_unique<QGraphicsScene>();
    auto stack = std::make_unique<QUndoStack>();
    auto *stroke = new Counted<FreehandGraphic>(destructions);
    drawStroke(*stroke, {{10, 10}, {60, 30}, {90, 80}});
    scene->addItem(stroke);
    const QPainterPath drawn = stroke->sourcePath();

    stack->push(new UndoNewGraphic(stroke));
    // Pushing records the creation without adding the item a second time.
    QCOMPARE(scene->items(), QList<QGraphicsItem *>{stroke});

    stack->undo();
    QVERIFY(scene->items().isEmpty());
    QCOMPARE(stroke->scene(), nullptr);
    QCOMPARE(destructions, 0);

    stack->redo();
    QCOMPARE(scene->items(), QList<QGraphicsItem *>{stroke});
    QCOMPARE(stroke->sourcePath(), drawn);
    QCOMPARE(destructions, 0);

    stack->undo();
    stack->redo();
    QCOMPARE(scene->items(), QList<QGraphicsItem *>{stroke});

    // Redone, the stroke is the scene's again: the history can go without taking it along.
    stack.reset();
    QCOMPARE(destructions, 0);
    QCOMPARE(scene->items(), QList<QGraphicsItem *>{stroke});
    scene.reset();
    QCOMPARE(destructions, 1);
}

void TestUndoCommands::pushAfterUndoDestroysTheUndoneNewItem()
{
    int firstDestructions = 0;
    int secondDestructions = 0;
    auto scene = std::make_unique<QGraphicsScene>();
    auto stack = std::make_unique<QUndoStack>();

    auto *first = new Counted<FreehandGraphic>(firstDestructions);
    drawStroke(*first, {{0, 0}, {20, 20}});
    scene->addItem(first);
    stack->push(new UndoNewGraphic(first));
    stack->undo();
    QCOMPARE(firstDestructions, 0);

    auto *second = new Counted<LineGraphic>(secondDestructions);
    drawLine(*second, {5, 5}, {50, 5});
    scene->addItem(second);
    stack->push(new UndoNewGraphic(second));

    QCOMPARE(stack->count(), 1);
    QCOMPARE(firstDestructions, 1);
    QCOMPARE(secondDestructions, 0);
    QCOMPARE(scene->items(), QList<QGraphicsItem *>{second});

    stack.reset();
    QCOMPARE(secondDestructions, 0);
    scene.reset();
    QCOMPARE(firstDestructions, 1);
    QCOMPARE(secondDestructions, 1);
}

void TestUndoCommands::clearingTheStackDestroysOnlyUndoneNewItems()
{
    int keptDestructions = 0;
    int undoneDestructions = 0;
    auto scene = std::make_unique<QGraphicsScene>();
    QUndoStack stack;

    auto *kept = new Counted<ShapeGraphic>(keptDestructions);
    drawShape(*kept, {0, 0}, {40, 40});
    scene->addItem(kept);
    stack.push(new UndoNewGraphic(kept));
    auto *undone = new Counted<ShapeGraphic>(undoneDestructions);
    drawShape(*undone, {50, 50}, {90, 90});
    scene->addItem(undone);
    stack.push(new UndoNewGraphic(undone));
    stack.undo();

    stack.clear();
    QCOMPARE(undoneDestructions, 1);
    QCOMPARE(keptDestructions, 0);
    QCOMPARE(scene->items(), QList<QGraphicsItem *>{kept});

    scene.reset();
    QCOMPARE(keptDestructions, 1);
    QCOMPARE(undoneDestructions, 1);
}

void TestUndoCommands::deleteOfThreeItemsIsUndoneInOneStep()
{
    int destructions = 0;
    QGraphicsScene scene;
    QUndoStack stack;
    QList<QGraphicsItem *> items;
    for (int i = 0; i < 3; ++i) {
        auto *line = new Counted<LineGraphic>(destructions);
        drawLine(*line, {0, 10.0 * i}, {80, 10.0 * i});
        scene.addItem(line);
        line->setSelected(true);
        items.append(line);
    }

    // As the editor deletes a selection: each item out of the scene, one command per item.
    stack.beginMacro(UndoText::deletion());
    for (QGraphicsItem *item : scene.selectedItems()) {
        scene.removeItem(item);
        stack.push(new UndoDeleteGraphic(&scene, item));
    }
    stack.endMacro();
    QVERIFY(scene.items().isEmpty());
    QCOMPARE(stack.count(), 1);
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Delete"));

    stack.undo();
    QCOMPARE(scene.items().size(), 3);
    for (QGraphicsItem *item : items)
        QCOMPARE(item->scene(), &scene);

    stack.redo();
    QVERIFY(scene.items().isEmpty());
    for (QGraphicsItem *item : items)
        QCOMPARE(item->scene(), nullptr);
    QCOMPARE(destructions, 0);

    stack.clear();
    QCOMPARE(destructions, 3);
}

void TestUndoCommands::deletedItemLivesUntilItsCommandLeavesTheStack_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("stack cleared") << "clear";
    QTest::newRow("stack destroyed") << "destroy";
    QTest::newRow("dropped by the undo limit") << "limit";
}

void TestUndoCommands::deletedItemLivesUntilItsCommandLeavesTheStack()
{
    QFETCH(QString, how);

    int deletedDestructions = 0;
    int movedDestructions = 0;
    auto scene = std::make_unique<QGraphicsScene>();
    auto stack = std::make_unique<QUndoStack>();
    if (how == QLatin1String("limit"))
        stack->setUndoLimit(2);

    auto *deleted = new Counted<FreehandGraphic>(deletedDestructions);
    drawStroke(*deleted, {{0, 0}, {30, 30}});
    scene->addItem(deleted);
    auto *moved = new Counted<ShapeGraphic>(movedDestructions);
    drawShape(*moved, {0, 0}, {20, 20});
    scene->addItem(moved);

    scene->removeItem(deleted);
    stack->push(new UndoDeleteGraphic(scene.get(), deleted));
    moved->setPos(10, 10);
    stack->push(new UndoMoveGraphic(moved, {0, 0}));
    // Undoing and redoing the command on top does not touch the deleted item.
    stack->undo();
    stack->redo();
    QCOMPARE(deletedDestructions, 0);
    QCOMPARE(deleted->scene(), nullptr);

    if (how == QLatin1String("clear")) {
        stack->clear();
    } else if (how == QLatin1String("destroy")) {
        stack.reset();
    } else {
        moved->setPos(20, 20);
        stack->push(new UndoMoveGraphic(moved, {10, 10}));
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->command(0)->text(), QStringLiteral("Undo Move"));
    }
    QCOMPARE(deletedDestructions, 1);
    QCOMPARE(movedDestructions, 0);

    stack.reset();
    scene.reset();
    QCOMPARE(deletedDestructions, 1);
    QCOMPARE(movedDestructions, 1);
}

void TestUndoCommands::undoneDeleteDiscardedByAPushLeavesTheItemToTheScene()
{
    int destructions = 0;
    int otherDestructions = 0;
    auto scene = std::make_unique<QGraphicsScene>();
    auto stack = std::make_unique<QUndoStack>();
    auto *item = new Counted<LineGraphic>(destructions);
    drawLine(*item, {0, 0}, {40, 40});
    scene->addItem(item);
    auto *other = new Counted<LineGraphic>(otherDestructions);
    drawLine(*other, {0, 50}, {40, 50});
    scene->addItem(other);

    scene->removeItem(item);
    stack->push(new UndoDeleteGraphic(scene.get(), item));
    stack->undo();
    other->setOpacity(0.5);
    stack->push(new UndoOpacityGraphic(other, 1.0));

    QCOMPARE(stack->count(), 1);
    QCOMPARE(destructions, 0);
    QCOMPARE(item->scene(), scene.get());

    stack.reset();
    QCOMPARE(destructions, 0);
    scene.reset();
    QCOMPARE(destructions, 1);
    QCOMPARE(otherDestructions, 1);
}

void TestUndoCommands::sceneDestroyedBeforeTheStackFreesEveryItemOnce()
{
    int inScene = 0;
    int deletedInForce = 0;
    int deleteUndone = 0;
    int creationUndone = 0;
    auto scene = std::make_unique<QGraphicsScene>();
    auto stack = std::make_unique<QUndoStack>();

    auto *a = new Counted<FreehandGraphic>(inScene);
    drawStroke(*a, {{0, 0}, {10, 10}});
    scene->addItem(a);
    stack->push(new UndoNewGraphic(a));
    auto *b = new Counted<FreehandGraphic>(deletedInForce);
    drawStroke(*b, {{20, 0}, {30, 10}});
    scene->addItem(b);
    scene->removeItem(b);
    stack->push(new UndoDeleteGraphic(scene.get(), b));
    auto *c = new Counted<FreehandGraphic>(deleteUndone);
    drawStroke(*c, {{40, 0}, {50, 10}});
    scene->addItem(c);
    scene->removeItem(c);
    stack->push(new UndoDeleteGraphic(scene.get(), c));
    auto *d = new Counted<FreehandGraphic>(creationUndone);
    drawStroke(*d, {{60, 0}, {70, 10}});
    scene->addItem(d);
    stack->push(new UndoNewGraphic(d));
    stack->undo();
    stack->undo();

    scene.reset();
    QCOMPARE(inScene, 1);
    QCOMPARE(deleteUndone, 1);
    QCOMPARE(deletedInForce, 0);
    QCOMPARE(creationUndone, 0);

    stack.reset();
    QCOMPARE(inScene, 1);
    QCOMPARE(deleteUndone, 1);
    QCOMPARE(deletedInForce, 1);
    QCOMPARE(creationUndone, 1);
}

void TestUndoCommands::moveExchangesPositions()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *shape = new ShapeGraphic;
    drawShape(*shape, {0, 0}, {30, 20});
    scene.addItem(shape);
    shape->setPos(15, 25);

    stack.push(new UndoMoveGraphic(shape, {0, 0}));
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Move"));
    QCOMPARE(shape->pos(), QPointF(15, 25));
    stack.undo();
    QCOMPARE(shape->pos(), QPointF(0, 0));
    stack.redo();
    QCOMPARE(shape->pos(), QPointF(15, 25));
    stack.undo();
    QCOMPARE(shape->pos(), QPointF(0, 0));
}

void TestUndoCommands::opacityExchangesValues()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *text = new TextGraphic;
    text->setPlainText(QStringLiteral("Photosynthesis"));
    scene.addItem(text);
    text->setOpacity(0.25);

    stack.push(new UndoOpacityGraphic(text, 1.0));
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Opacity"));
    QCOMPARE(text->opacity(), 0.25);
    stack.undo();
    QCOMPARE(text->opacity(), 1.0);
    stack.redo();
    QCOMPARE(text->opacity(), 0.25);
    stack.undo();
    QCOMPARE(text->opacity(), 1.0);
}

void TestUndoCommands::zOrderRestoresStackingInsideItsMacro()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *lower = new ShapeGraphic;
    drawShape(*lower, {0, 0}, {50, 50});
    lower->setZValue(0);
    scene.addItem(lower);
    auto *upper = new ShapeGraphic;
    drawShape(*upper, {10, 10}, {60, 60});
    upper->setZValue(1);
    scene.addItem(upper);

    stack.beginMacro(UndoText::bringToFront());
    lower->setZValue(2);
    stack.push(new UndoZorderGraphic(lower, 0));
    stack.endMacro();
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Bring to Front"));
    QCOMPARE(stack.command(0)->child(0)->text(), QString());
    QCOMPARE(scene.items().first(), lower);

    stack.undo();
    QCOMPARE(lower->zValue(), 0.0);
    QCOMPARE(scene.items().first(), upper);
    stack.redo();
    QCOMPARE(lower->zValue(), 2.0);
    QCOMPARE(scene.items().first(), lower);
}

void TestUndoCommands::scaleOfLineUndoneToOneAndRedoneToTwo()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *line = new LineGraphic;
    drawLine(*line, {10, 10}, {110, 60});
    scene.addItem(line);
    BaseGraphic &graphic = *line;
    const QPainterPath atOne = sceneOutline(*line);

    graphic.setScale(2.0);
    const QPainterPath atTwo = sceneOutline(*line);
    QVERIFY(!sameOutline(atOne, atTwo));
    stack.push(new UndoScaleGraphic(line, 1.0));
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Scale"));
    QCOMPARE(graphic.scale(), 2.0);
    QVERIFY(sameOutline(sceneOutline(*line), atTwo));

    stack.undo();
    QCOMPARE(graphic.scale(), 1.0);
    QVERIFY(sameOutline(sceneOutline(*line), atOne));

    stack.redo();
    QCOMPARE(graphic.scale(), 2.0);
    QVERIFY(sameOutline(sceneOutline(*line), atTwo));
}

void TestUndoCommands::rotateGoesThroughTheGraphicsDegree()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *shape = new ShapeGraphic(3); // a right triangle, so every turn shows
    drawShape(*shape, {0, 0}, {80, 40});
    scene.addItem(shape);
    BaseGraphic &graphic = *shape;
    const QPainterPath upright = sceneOutline(*shape);

    graphic.setDegree(30);
    const QPainterPath turned = sceneOutline(*shape);
    QVERIFY(!sameOutline(upright, turned));
    stack.push(new UndoRotateGraphic(shape, 0));
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Rotate"));
    QCOMPARE(graphic.degree(), 30.0);

    stack.undo();
    QCOMPARE(graphic.degree(), 0.0);
    QVERIFY(sameOutline(sceneOutline(*shape), upright));
    // The item's own rotation property is not how the canvas turns its items.
    QCOMPARE(shape->rotation(), 0.0);

    stack.redo();
    QCOMPARE(graphic.degree(), 30.0);
    QVERIFY(sameOutline(sceneOutline(*shape), turned));
}

void TestUndoCommands::flipUndoRedoUndo()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *stroke = new FreehandGraphic;
    drawStroke(*stroke, {{0, 0}, {40, 5}, {60, 50}});
    scene.addItem(stroke);
    BaseGraphic &graphic = *stroke;
    const QPainterPath before = sceneOutline(*stroke);

    graphic.flip();
    const QPainterPath flipped = sceneOutline(*stroke);
    QVERIFY(!sameOutline(before, flipped));
    stack.push(new UndoFlipGraphic(stroke));
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Flip"));
    QVERIFY(graphic.isFlipped());

    stack.undo();
    QVERIFY(!graphic.isFlipped());
    QVERIFY(sameOutline(sceneOutline(*stroke), before));
    stack.redo();
    QVERIFY(graphic.isFlipped());
    QVERIFY(sameOutline(sceneOutline(*stroke), flipped));
    stack.undo();
    QVERIFY(!graphic.isFlipped());
    QVERIFY(sameOutline(sceneOutline(*stroke), before));
}

void TestUndoCommands::mirrorUndoRedoUndo()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *line = new LineGraphic;
    drawLine(*line, {0, 0}, {100, 30});
    scene.addItem(line);
    BaseGraphic &graphic = *line;
    const QPainterPath before = sceneOutline(*line);
    const qreal degreeBefore = graphic.degree();

    graphic.mirror();
    const QPainterPath mirrored = sceneOutline(*line);
    QVERIFY(!sameOutline(before, mirrored));
    stack.push(new UndoMirrorGraphic(line));
    QCOMPARE(stack.undoText(), QStringLiteral("Undo Mirror"));
    QVERIFY(graphic.isMirrored());

    stack.undo();
    QVERIFY(!graphic.isMirrored());
    QVERIFY(sameOutline(sceneOutline(*line), before));
    QCOMPARE(graphic.degree(), degreeBefore);
    stack.redo();
    QVERIFY(graphic.isMirrored());
    QVERIFY(sameOutline(sceneOutline(*line), mirrored));
    stack.undo();
    QVERIFY(!graphic.isMirrored());
    QVERIFY(sameOutline(sceneOutline(*line), before));
}

void TestUndoCommands::commandsOfTheSameItemAreNeverMerged()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *shape = new ShapeGraphic;
    drawShape(*shape, {0, 0}, {30, 30});
    scene.addItem(shape);
    BaseGraphic &graphic = *shape;

    // Two drags of one item are two steps for the user, as are two scalings.
    shape->setPos(10, 0);
    stack.push(new UndoMoveGraphic(shape, {0, 0}));
    shape->setPos(20, 0);
    stack.push(new UndoMoveGraphic(shape, {10, 0}));
    graphic.setScale(1.5);
    stack.push(new UndoScaleGraphic(shape, 1.0));
    graphic.setScale(3.0);
    stack.push(new UndoScaleGraphic(shape, 1.5));
    QCOMPARE(stack.count(), 4);

    stack.undo();
    QCOMPARE(graphic.scale(), 1.5);
    stack.undo();
    QCOMPARE(graphic.scale(), 1.0);
    stack.undo();
    QCOMPARE(shape->pos(), QPointF(10, 0));
    stack.undo();
    QCOMPARE(shape->pos(), QPointF(0, 0));
}

void TestUndoCommands::leaveSceneHookRunsBeforeEachRemoval()
{
    QGraphicsScene scene;
    QUndoStack stack;
    auto *hooked = new HookedRect(ShapeGraphic::Capabilities | BaseGraphic::CapLeaveSceneHook);
    auto *plain = new HookedRect(ShapeGraphic::Capabilities);
    scene.addItem(hooked);
    scene.addItem(plain);

    stack.beginMacro(UndoText::clone());
    stack.push(new UndoNewGraphic(hooked));
    stack.push(new UndoNewGraphic(plain));
    stack.endMacro();
    QCOMPARE(hooked->calls, 0);

    stack.undo();
    QCOMPARE(hooked->calls, 1);
    QVERIFY(hooked->wasInSceneWhenCalled);
    QCOMPARE(hooked->scene(), nullptr);
    stack.redo();
    QCOMPARE(hooked->calls, 1);
    QCOMPARE(hooked->scene(), &scene);

    hooked->calls = 0;
    hooked->wasInSceneWhenCalled = false;
    stack.beginMacro(UndoText::deletion());
    for (HookedRect *item : {hooked, plain}) {
        scene.removeItem(item);
        stack.push(new UndoDeleteGraphic(&scene, item));
    }
    stack.endMacro();
    // The editor took the items out itself before pushing; nothing runs the hook again.
    QCOMPARE(hooked->calls, 0);

    stack.undo();
    QCOMPARE(hooked->calls, 0);
    stack.redo();
    QCOMPARE(hooked->calls, 1);
    QVERIFY(hooked->wasInSceneWhenCalled);
    QCOMPARE(hooked->scene(), nullptr);

    QCOMPARE(plain->calls, 0);
}

void TestUndoCommands::macroTexts()
{
    const QStringList texts{UndoText::move(),
                            UndoText::deletion(),
                            UndoText::opacity(),
                            UndoText::rotate(),
                            UndoText::scale(),
                            UndoText::mirror(),
                            UndoText::flip(),
                            UndoText::bringToFront(),
                            UndoText::sendToBack(),
                            UndoText::bringForward(),
                            UndoText::sendBackward(),
                            UndoText::clone(),
                            UndoText::insertImageFile(),
                            UndoText::clearAll(),
                            UndoText::eraser()};
    const QStringList expected{"Undo Move",
                               "Undo Delete",
                               "Undo Opacity",
                               "Undo Rotate",
                               "Undo Scale",
                               "Undo Mirror",
                               "Undo Flip",
                               "Undo Bring to Front",
                               "Undo Send to Back",
                               "Undo Bring Forward",
                               "Undo Send Backward",
                               "Undo Clone",
                               "Undo Insert Image File",
                               "Undo Clear All",
                               "Undo Eraser"};
    QCOMPARE(texts, expected);
}

VELORA_TEST_MAIN(TestUndoCommands)

#include "tst_undocommands.moc"
