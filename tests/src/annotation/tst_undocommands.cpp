// The undo commands against a real QUndoStack, a real QGraphicsScene and the real item classes.
// Items are subclassed only to count their destructions, so that the ownership hand-overs
// between scene and commands are observed, not inferred.

#include "FreehandGraphic.h"
#include "LineGraphic.h"
#include "ShapeGraphic.h"
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

/// Draws `item` from `from` to `to` the way the drawing tools do.
template<typename Item> Item *drawn(Item *item, const QPointF &from, const QPointF &to)
{
    if (item->beginCreate(from)) {
        item->updateCreate((from + to) / 2 + QPointF(0, 7)); // a bend, for the freehand stroke
        item->updateCreate(to);
        item->endCreate();
    }
    return item;
}

/// What the user sees of an item: its outline placed in the scene, with geometry and transform.
QPainterPath sceneOutline(const QGraphicsItem &item)
{
    return item.sceneTransform().map(item.shape());
}

} // namespace

class TestUndoCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void itemIsFreedOnceWhateverEndsItsCommand_data()
    {
        // A new item or a deleted one, its command in force or undone, then the stack cleared, the
        // command dropped by a push after undo or by the undo limit, or the scene
        // destroyed first. Whoever holds the item out of the scene frees it, and only once.
        QTest::addColumn<bool>("deletion");
        QTest::addColumn<bool>("undone");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("freedAtTheEnd");
        QTest::newRow("new, stack cleared") << false << false << "clear" << false;
        QTest::newRow("new undone, stack cleared") << false << true << "clear" << true;
        QTest::newRow("new undone, push after undo") << false << true << "push" << true;
        QTest::newRow("new, scene first") << false << false << "scene" << true;
        QTest::newRow("new undone, scene first") << false << true << "scene" << false;
        QTest::newRow("deleted, stack cleared") << true << false << "clear" << true;
        QTest::newRow("deleted, undo limit") << true << false << "limit" << true;
        QTest::newRow("deleted undone, push after undo") << true << true << "push" << false;
        QTest::newRow("deleted, scene first") << true << false << "scene" << false;
        QTest::newRow("deleted undone, scene first") << true << true << "scene" << true;
    }

    void itemIsFreedOnceWhateverEndsItsCommand()
    {
        QFETCH(bool, deletion);
        QFETCH(bool, undone);
        QFETCH(QString, end);
        QFETCH(bool, freedAtTheEnd);

        int freed = 0;
        int otherFreed = 0;
        auto scene = std::make_unique<QGraphicsScene>();
        auto stack = std::make_unique<QUndoStack>();
        if (end == QLatin1String("limit"))
            stack->setUndoLimit(2);
        auto *item = drawn(new Counted<FreehandGraphic>(freed), {0, 0}, {30, 30});
        scene->addItem(item);
        auto *other = drawn(new Counted<ShapeGraphic>(otherFreed), {0, 0}, {20, 20});
        scene->addItem(other);

        if (deletion) {
            scene->removeItem(item);
            stack->push(new UndoDeleteGraphic(scene.get(), item));
        } else {
            stack->push(new UndoNewGraphic(item));
        }
        other->setPos(10, 10);
        stack->push(new UndoMoveGraphic(other, {0, 0}));
        // Undoing and redoing the command on top does not touch the item.
        stack->undo();
        stack->redo();
        if (undone) {
            stack->undo();
            stack->undo();
            QCOMPARE(item->scene(), deletion ? scene.get() : nullptr);
        }
        QCOMPARE(freed, 0);

        if (end == QLatin1String("clear")) {
            stack->clear();
        } else if (end == QLatin1String("scene")) {
            scene.reset();
        } else {
            other->setPos(20, 20);
            stack->push(new UndoMoveGraphic(other, {10, 10}));
            QCOMPARE(stack->count(), end == QLatin1String("push") ? 1 : 2);
        }
        QCOMPARE(freed, freedAtTheEnd ? 1 : 0);
        QCOMPARE(otherFreed, end == QLatin1String("scene") ? 1 : 0);
        if (!freedAtTheEnd && scene)
            QCOMPARE(item->scene(), scene.get());

        scene.reset();
        stack.reset();
        QCOMPARE(freed, 1);
        QCOMPARE(otherFreed, 1);
    }

    void editIsSwappedByUndoAndRedo_data()
    {
        // The row names the edit; the z order has no text of its own, the editor's macro names it.
        QTest::addColumn<QString>("text");
        QTest::newRow("move") << QStringLiteral("Undo Move");
        QTest::newRow("opacity") << QStringLiteral("Undo Opacity");
        QTest::newRow("z order") << QString();
        QTest::newRow("scale") << QStringLiteral("Undo Scale");
        QTest::newRow("rotate") << QStringLiteral("Undo Rotate");
        QTest::newRow("flip") << QStringLiteral("Undo Flip");
        QTest::newRow("mirror") << QStringLiteral("Undo Mirror");
    }

    void editIsSwappedByUndoAndRedo()
    {
        QFETCH(QString, text);
        const QString edit = QString::fromLatin1(QTest::currentDataTag());
        QGraphicsScene scene;
        QUndoStack stack;
        // Each edit on an item class it applies to; a second shape overlaps for the stacking order.
        QGraphicsItem *item = edit == QLatin1String("scale") || edit == QLatin1String("mirror")
                ? static_cast<QGraphicsItem *>(drawn(new LineGraphic, {10, 10}, {110, 60}))
                : edit == QLatin1String("flip")
                ? static_cast<QGraphicsItem *>(drawn(new FreehandGraphic, {0, 0}, {60, 50}))
                : static_cast<QGraphicsItem *>(drawn(new ShapeGraphic(3), {0, 0}, {80, 40}));
        scene.addItem(item);
        auto *upper = drawn(new ShapeGraphic, {10, 10}, {60, 60});
        upper->setZValue(1);
        scene.addItem(upper);
        BaseGraphic &graphic = *BaseGraphic::fromItem(item);

        const auto state = [&] {
            return QVariantList{item->pos(),         item->opacity(),
                                item->zValue(),      scene.items().first() == item,
                                graphic.scale(),     graphic.degree(),
                                graphic.isFlipped(), graphic.isMirrored()};
        };
        const auto shows = [&](const QPainterPath &outline, const QVariantList &values) {
            return sceneOutline(*item) == outline && state() == values;
        };
        const QPainterPath beforeOutline = sceneOutline(*item);
        const QVariantList before = state();

        // As the editor does: change the item, then push the command that records the change.
        const auto edited = [&]() -> QUndoCommand * {
            if (edit == QLatin1String("move")) {
                item->setPos(item->pos() + QPointF(15, 25));
                return new UndoMoveGraphic(item, item->pos() - QPointF(15, 25));
            } else if (edit == QLatin1String("opacity")) {
                item->setOpacity(item->opacity() / 2);
                return new UndoOpacityGraphic(item, item->opacity() * 2);
            } else if (edit == QLatin1String("z order")) {
                item->setZValue(item->zValue() + 2);
                return new UndoZorderGraphic(item, item->zValue() - 2);
            } else if (edit == QLatin1String("scale")) {
                graphic.setScale(graphic.scale() * 2);
                return new UndoScaleGraphic(&graphic, graphic.scale() / 2);
            } else if (edit == QLatin1String("rotate")) {
                graphic.setDegree(graphic.degree() + 30);
                return new UndoRotateGraphic(&graphic, graphic.degree() - 30);
            } else if (edit == QLatin1String("flip")) {
                graphic.flip();
                return new UndoFlipGraphic(&graphic);
            }
            graphic.mirror();
            return new UndoMirrorGraphic(&graphic);
        };
        QUndoCommand *command = edited();
        const QPainterPath afterOutline = sceneOutline(*item);
        const QVariantList after = state();
        QVERIFY(after != before);

        stack.push(command);
        QCOMPARE(stack.undoText(), text);
        // The push does not apply the change a second time.
        QVERIFY(shows(afterOutline, after));
        stack.undo();
        QVERIFY(shows(beforeOutline, before));
        stack.redo();
        QVERIFY(shows(afterOutline, after));
        stack.undo();
        QVERIFY(shows(beforeOutline, before));

        // The same edit again is a step of its own: commands are never merged.
        stack.redo();
        stack.push(edited());
        QCOMPARE(stack.count(), 2);
        stack.undo();
        QVERIFY(shows(afterOutline, after));
    }

    void leaveSceneHookRunsBeforeEachRemoval()
    {
        QGraphicsScene scene;
        QUndoStack stack;
        auto *hooked = new HookedRect(ShapeGraphic::Capabilities | BaseGraphic::CapLeaveSceneHook);
        auto *plain = new HookedRect(ShapeGraphic::Capabilities);
        for (HookedRect *item : {hooked, plain}) {
            scene.addItem(item);
            stack.push(new UndoNewGraphic(item));
        }
        // Undoing a creation takes the item out: the hook runs first, and only for its bit.
        stack.undo();
        QCOMPARE(plain->calls, 0);
        QCOMPARE(plain->scene(), nullptr);
        stack.undo();
        QCOMPARE(hooked->calls, 1);
        QVERIFY(hooked->wasInSceneWhenCalled);
        stack.redo();
        QCOMPARE(hooked->calls, 1);

        // A deletion (the push drops the undone creation of the other): the editor took the item
        // out itself before pushing; a redo runs the hook.
        scene.removeItem(hooked);
        stack.push(new UndoDeleteGraphic(&scene, hooked));
        QCOMPARE(hooked->calls, 1);
        stack.undo();
        QCOMPARE(hooked->calls, 1);
        hooked->wasInSceneWhenCalled = false;
        stack.redo();
        QCOMPARE(hooked->calls, 2);
        QVERIFY(hooked->wasInSceneWhenCalled);
        QCOMPARE(hooked->scene(), nullptr);
    }
};

VELORA_TEST_MAIN(TestUndoCommands)

#include "tst_undocommands.moc"
