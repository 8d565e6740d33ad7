#include <CanvasScene.h>
#include <FreehandGraphic.h>
#include <GraphicFactory.h>
#include <HiliterGraphic.h>
#include <ImageGraphic.h>
#include <LineGraphic.h>
#include <ShapeGraphic.h>
#include <TextGraphic.h>
#include <VeloraTest.h>

#include <QGraphicsRectItem>
#include <QImage>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QtMath>

#include <memory>

namespace {

// The mix-in on a plain rectangle, for the operations whose outcome depends only on the mask.
class MaskedGraphic : public QGraphicsRectItem, public BaseGraphic
{
public:
    explicit MaskedGraphic(quint32 capabilities)
        : QGraphicsRectItem(0, 0, 100, 50)
        , BaseGraphic(this, capabilities)
    { }
    using BaseGraphic::scale;
    using BaseGraphic::setScale;
};

bool near(const QPointF &a, const QPointF &b)
{
    return QLineF(a, b).length() < 1e-6;
}

std::unique_ptr<ShapeGraphic> rectangleShape()
{
    auto shape = std::make_unique<ShapeGraphic>(0);
    shape->setPen(QPen(Qt::NoPen));
    shape->setPath(ShapeGraphic::templatePath(0, QRectF(0, 0, 100, 50)));
    return shape;
}

QImage render(QGraphicsScene &scene)
{
    QImage image(scene.sceneRect().size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene.render(&painter, QRectF(QPointF(), image.size()), scene.sceneRect());
    return image;
}

} // namespace

class TestGraphics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transformTurnsAndMirrorsAboutTheCentre_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<qreal>("degree");
        QTest::addColumn<bool>("flipped");
        QTest::addColumn<bool>("mirrored");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QPointF>("expected");
        const qreal c30 = 50 * qCos(qDegreesToRadians(30.0));
        const qreal s30 = 50 * qSin(qDegreesToRadians(30.0));
        // The shape is (0, 0, 100, 50): its centre is (50, 25).
        QTest::addRow("90 degrees turn clockwise on screen")
                << 1.0 << 90.0 << false << false << QPointF(100, 25) << QPointF(50, 75);
        // The right edge, mirrored to the left, moves up: still a clockwise turn on screen.
        QTest::addRow("mirrored 30 keeps turning clockwise")
                << 1.0 << 30.0 << false << true << QPointF(100, 25) << QPointF(50 - c30, 25 - s30);
        QTest::addRow("flipped 30 keeps turning clockwise")
                << 1.0 << 30.0 << true << false << QPointF(50, 0)
                << QPointF(50 - 25 * qSin(qDegreesToRadians(30.0)),
                           25 + 25 * qCos(qDegreesToRadians(30.0)));
        QTest::addRow("flipped and mirrored is a half turn")
                << 1.0 << 30.0 << true << true << QPointF(100, 25) << QPointF(50 - c30, 25 - s30);
        QTest::addRow("scaled, mirrored, 90")
                << 2.0 << 90.0 << false << true << QPointF(100, 25) << QPointF(50, -75);
    }

    void transformTurnsAndMirrorsAboutTheCentre()
    {
        QFETCH(qreal, scale);
        QFETCH(qreal, degree);
        QFETCH(bool, flipped);
        QFETCH(bool, mirrored);
        QFETCH(QPointF, point);
        QFETCH(QPointF, expected);
        auto shape = rectangleShape();
        // Something to replace: the rebuild must not combine with an older transform.
        shape->setTransform(QTransform::fromTranslate(13, 17));
        shape->setScale(scale);
        shape->setDegree(degree);
        if (flipped)
            shape->flip();
        if (mirrored)
            shape->mirror();
        shape->rebuildTransform();
        const QPointF mapped = shape->transform().map(point);
        QVERIFY2(near(mapped, expected),
                 qPrintable(QStringLiteral("(%1, %2)").arg(mapped.x()).arg(mapped.y())));
        QVERIFY(near(shape->transform().map(QPointF(50, 25)), QPointF(50, 25)));
    }

    void editsThatCannotApplyChangeNothing()
    {
        auto shape = rectangleShape();
        shape->setScale(2.0);
        shape->setDegree(30.0);
        const QTransform scaled = shape->transform();
        shape->setScale(0.0);
        shape->setScale(-1.5);
        QCOMPARE(shape->scale(), 2.0);
        QCOMPARE(shape->transform(), scaled);
        // Setting the same value does not rebuild: a transform set meanwhile survives.
        shape->setTransform(QTransform::fromTranslate(7, 9));
        shape->setScale(2.0);
        shape->setDegree(30.0 + 1e-13);
        QCOMPARE(shape->transform(), QTransform::fromTranslate(7, 9));

        // Without its capability bit an operation does nothing; scaling along x stretches x only.
        MaskedGraphic alongX(BaseGraphic::CapScaleX | BaseGraphic::CapFlip);
        alongX.setDegree(45.0);
        alongX.mirror();
        QVERIFY(alongX.degree() == 0.0 && !alongX.isMirrored() && alongX.transform().isIdentity());
        alongX.setScale(2.0);
        QVERIFY(near(alongX.transform().map(QPointF(100, 50)), QPointF(150, 50)));
        MaskedGraphic none(0);
        none.setScale(2.0);
        QCOMPARE(none.scale(), 1.0);
    }

    void cloneCopiesEveryClassWithItsState()
    {
        CanvasScene scene;
        auto *line = new LineGraphic;
        line->setLine(QLineF(0, 0, 40, 0));
        line->setStartAnchor(BaseGraphic::AnchorDot);
        line->setPen(QPen(Qt::green, 6));
        auto *shape = new ShapeGraphic(8);
        shape->setPath(ShapeGraphic::templatePath(8, QRectF(0, 0, 30, 30)));
        shape->setBrush(Qt::yellow);
        shape->setScale(1.5);
        shape->mirror();
        auto *stroke = new HiliterGraphic;
        QVERIFY(stroke->beginCreate(QPointF(5, 5)));
        stroke->updateCreate(QPointF(25, 15));
        auto *text = new TextGraphic;
        text->setHtml(QStringLiteral("<b>Bold</b> words"));
        text->setDefaultTextColor(Qt::blue);
        QPixmap pixmap(4, 3);
        pixmap.fill(Qt::red);
        auto *image = new ImageGraphic(pixmap);
        image->setOffset(2, 2);
        const QList<BaseGraphic *> sources{line, shape, stroke, text, image};
        for (BaseGraphic *source : sources) {
            source->graphicsItem()->setPos(11, 12);
            source->graphicsItem()->setZValue(3);
            source->graphicsItem()->setOpacity(0.25);
            source->setName(QStringLiteral("original"));
            source->setFreeAspect(false);
            scene.addItem(source->graphicsItem());
        }

        // Everything the user can see or edit comes over; the copy is new and in no scene.
        const auto state = [](const BaseGraphic &graphic) {
            const QGraphicsItem *item = graphic.graphicsItem();
            return QVariantList{item->type(),           graphic.capabilities(), graphic.name(),
                                graphic.isFreeAspect(), graphic.isCreating(),   item->pos(),
                                item->zValue(),         item->opacity(),        item->transform(),
                                graphic.scale(),        graphic.isMirrored(),   graphic.pen(),
                                graphic.brush(),        item->boundingRect(),   int(item->flags())};
        };
        for (BaseGraphic *source : sources) {
            std::unique_ptr<BaseGraphic> copy = GraphicFactory::clone(*source);
            QVERIFY(copy && copy->graphicsItem() != source->graphicsItem());
            QCOMPARE(copy->graphicsItem()->scene(), nullptr);
            QVariantList expected = state(*source);
            expected[4] = false; // not being drawn
            QCOMPARE(state(*copy), expected);
            QVERIFY(copy->graphicsItem()->flags().testFlags(QGraphicsItem::ItemIsMovable
                                                            | QGraphicsItem::ItemIsSelectable));
        }
        // The text in a document of its own; the stroke's path, finished.
        const auto textCopy = GraphicFactory::clone(*text);
        const auto *clonedText = static_cast<const TextGraphic *>(textCopy.get());
        QVERIFY(clonedText->toHtml() == text->toHtml() && clonedText->document() != text->document()
                && clonedText->defaultTextColor() == Qt::blue);
        const auto strokeCopy = GraphicFactory::clone(*stroke);
        const auto *clonedStroke = static_cast<const HiliterGraphic *>(strokeCopy.get());
        QVERIFY(clonedStroke->sourcePath() == stroke->sourcePath()
                && !clonedStroke->isDrawingOffscreen());
        stroke->endCreate();
    }

    void shapeFollowsTheDrag_data()
    {
        QTest::addColumn<quint32>("kind");
        QTest::addColumn<bool>("freeAspect");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<QRectF>("bounds");
        // Pressed at (100, 100).
        QTest::addRow("free rectangle")
                << 0u << true << QPointF(160, 130) << QRectF(100, 100, 60, 30);
        QTest::addRow("dragged up and left")
                << 0u << true << QPointF(40, 80) << QRectF(40, 80, 60, 20);
        QTest::addRow("square takes the shorter side")
                << 0u << false << QPointF(160, 130) << QRectF(100, 100, 30, 30);
        QTest::addRow("square towards the top left")
                << 0u << false << QPointF(20, 90) << QRectF(90, 90, 10, 10);
        QTest::addRow("circle") << 1u << false << QPointF(100 + 50, 100 - 80)
                                << QRectF(100, 50, 50, 50);
        QTest::addRow("no drag is one unit")
                << 2u << true << QPointF(100, 100) << QRectF(100, 100, 1, 1);
        QTest::addRow("tiny difference counts as one")
                << 0u << true << QPointF(100 + 1e-9, 120) << QRectF(100, 100, 1, 20);
    }

    void shapeFollowsTheDrag()
    {
        QFETCH(quint32, kind);
        QFETCH(bool, freeAspect);
        QFETCH(QPointF, pointer);
        QFETCH(QRectF, bounds);
        ShapeGraphic shape(kind);
        QVERIFY(!shape.updateCreate(pointer));
        QVERIFY(shape.beginCreate(QPointF(100, 100)));
        shape.setFreeAspect(freeAspect);
        QVERIFY(shape.updateCreate(pointer));
        QVERIFY(!shape.updateCreate(pointer));
        shape.endCreate();
        QVERIFY(!shape.isCreating());
        QCOMPARE(shape.path(), ShapeGraphic::templatePath(kind, bounds));
        QVERIFY(!shape.updateCreate(pointer + QPointF(50, 50)));
    }

    void changingTheKindRedrawsEachKindInTheSameBounds()
    {
        const QRectF bounds(0, 0, 100, 50);
        QList<QPainterPath> seen{rectangleShape()->path()};
        for (quint32 kind = 1; kind <= ShapeGraphic::LastKind; ++kind) {
            auto shape = rectangleShape();
            shape->setShapeType(kind);
            const QPainterPath path = shape->path();
            // A shape of its own, filling the bounds, with the join its corners need.
            QVERIFY2(path == ShapeGraphic::templatePath(kind, bounds) && !seen.contains(path)
                             && bounds.adjusted(-1e-9, -1e-9, 1e-9, 1e-9)
                                        .contains(path.controlPointRect())
                             && shape->pen().joinStyle() == ShapeGraphic::joinStyle(kind),
                     qPrintable(QString::number(kind)));
            seen << path;
        }
        auto shape = rectangleShape();
        shape->setShapeType(17);
        QCOMPARE(shape->pen().joinStyle(), Qt::RoundJoin);
        shape->setShapeType(4);
        QCOMPARE(shape->path().boundingRect(), bounds);
        QCOMPARE(shape->pen().joinStyle(), Qt::MiterJoin);
        // The same kind again changes nothing, not even a path set meanwhile.
        shape->setPath(QPainterPath());
        shape->setShapeType(4);
        QVERIFY(shape->path().isEmpty());
    }

    void freehandStrokeDrawsOffscreenThenCaches()
    {
        CanvasScene scene;
        scene.setSceneRect(0, 0, 6000, 400);
        auto *stroke = new FreehandGraphic;
        stroke->setPen(QPen(Qt::black, 6, Qt::SolidLine, Qt::RoundCap));
        scene.addItem(stroke);
        QVERIFY(stroke->beginCreate(QPointF(300, 200)));
        QCOMPARE(stroke->cacheMode(), QGraphicsItem::NoCache);
        QCOMPARE(stroke->sourcePath().elementCount(), 2);
        QCOMPARE(stroke->offscreenRect(), QRectF(300 - 256, 200 - 256, 512, 512));

        QVERIFY(stroke->updateCreate(QPointF(320, 210)));
        QVERIFY(!stroke->updateCreate(QPointF(320, 210)));
        QVERIFY(stroke->boundingRect().contains(QPointF(320, 210)));

        // Leaving the pixmap grows it; the first pixels stay where they were.
        QVERIFY(stroke->updateCreate(QPointF(900, 210)));
        QVERIFY(stroke->isDrawingOffscreen());
        QVERIFY(stroke->offscreenRect().contains(QPointF(900, 210)));
        QVERIFY(stroke->offscreenRect().contains(QPointF(300 - 256, 200 - 256)));
        // A pixmap too large to afford: the stroke paints its path instead, all of it.
        QVERIFY(stroke->updateCreate(QPointF(5900, 210)));
        QVERIFY(!stroke->isDrawingOffscreen());
        const QImage image = render(scene);
        QCOMPARE(qAlpha(image.pixel(5800, 210)), 255);
        QCOMPARE(qAlpha(image.pixel(310, 205)), 255);

        // Finished, it caches only what it can afford: half this width, not all of it.
        stroke->endCreate();
        QCOMPARE(stroke->sourcePath().elementCount(), 5);
        QVERIFY(!stroke->updateCreate(QPointF(0, 0)));
        QCOMPARE(stroke->cacheMode(), QGraphicsItem::NoCache);
        stroke->setScale(0.5);
        QCOMPARE(stroke->cacheMode(), QGraphicsItem::DeviceCoordinateCache);
        // A speck of it blown up onto an image would make a device cache of gigabytes: it is
        // painted from its path instead.
        const QPointF speck = stroke->sceneTransform().map(QPointF(310, 205));
        QImage blownUp(400, 400, QImage::Format_ARGB32_Premultiplied);
        blownUp.fill(Qt::transparent);
        QPainter painter(&blownUp);
        scene.renderUncached(&painter, blownUp.rect(), QRectF(speck, QSizeF(0.001, 0.001)));
        painter.end();
        QCOMPARE(qAlpha(blownUp.pixel(200, 200)), 255);
        QCOMPARE(stroke->cacheMode(), QGraphicsItem::DeviceCoordinateCache);
    }

    void translucentStrokeStaysEvenWhereItCrossesItself()
    {
        CanvasScene scene;
        scene.setSceneRect(0, 0, 200, 200);
        scene.setBackgroundBrush(Qt::NoBrush);
        auto *stroke = new HiliterGraphic;
        stroke->setPen(QPen(Qt::black, 10, Qt::SolidLine, Qt::RoundCap));
        scene.addItem(stroke);
        QVERIFY(stroke->beginCreate(QPointF(20, 100)));
        for (const QPointF &point : {QPointF(180, 100), QPointF(100, 180), QPointF(100, 20)})
            stroke->updateCreate(point);
        const auto alphaAt = [&scene](int x, int y) {
            return qAlpha(render(scene).pixel(x, y));
        };
        const int single = alphaAt(60, 100);
        QVERIFY2(qAbs(single - 127) <= 2, qPrintable(QString::number(single)));
        QCOMPARE(alphaAt(100, 100), single);
        // Painted from its path, the finished stroke looks the same (within rounding).
        stroke->endCreate();
        const int finished = alphaAt(60, 100);
        QVERIFY2(qAbs(finished - single) <= 1, qPrintable(QString::number(finished)));
        QCOMPARE(alphaAt(100, 100), finished);
    }

    void anchorsDecorateTheEnds()
    {
        const qreal reach = 12; // 3 x the pen width
        LineGraphic line;
        line.setPen(QPen(Qt::black, 4));
        line.setLine(QLineF(0, 0, 100, 0));
        const QRectF plain = line.boundingRect();
        QVERIFY(line.anchorPath().isEmpty());
        line.setEndAnchor(BaseGraphic::AnchorArrow);
        line.setStartAnchor(BaseGraphic::AnchorDot);
        QVERIFY(line.anchorPath().contains(QPointF(100 - reach / 2, 0)));
        QVERIFY(line.anchorPath().contains(QPointF(-2, 0)));
        QVERIFY(line.boundingRect().height() > plain.height());
        QVERIFY(line.shape().contains(QPointF(100 - reach / 2, reach / 8)));
        line.setEndAnchor(7); // no such decoration
        QVERIFY(!line.anchorPath().contains(QPointF(100 - reach / 2, 0)));

        FreehandGraphic stroke;
        stroke.setPen(QPen(Qt::black, 4));
        QPainterPath path(QPointF(0, 0));
        for (int x = 1; x <= 50; ++x)
            path.lineTo(x, (x % 2) * 0.5); // a shaky hand
        stroke.setSourcePath(path);
        const QRectF before = stroke.boundingRect();
        stroke.setEndAnchor(BaseGraphic::AnchorArrow);
        QVERIFY(stroke.anchorPath().contains(QPointF(50 - reach / 2, 0.25)));
        stroke.setEndAnchor(BaseGraphic::AnchorNone);
        QCOMPARE(stroke.boundingRect(), before);
    }

    void lineDegreeFollowsTheDrawnDirection_data()
    {
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<qreal>("degree");
        QTest::addRow("right") << QPointF(10, 0) << 0.0;
        QTest::addRow("down") << QPointF(0, 10) << 90.0;
        QTest::addRow("left") << QPointF(-10, 0) << 180.0;
        QTest::addRow("up and right") << QPointF(10, -10) << 315.0;
        QTest::addRow("a click") << QPointF(0, 0) << 0.0;
    }

    void lineDegreeFollowsTheDrawnDirection()
    {
        QFETCH(QPointF, end);
        QFETCH(qreal, degree);
        LineGraphic line;
        QVERIFY(line.beginCreate(QPointF(0, 0)));
        line.updateCreate(end);
        line.endCreate();
        QCOMPARE(line.line(), QLineF(QPointF(0, 0), end));
        QVERIFY2(qAbs(line.degree() - degree) < 1e-9, qPrintable(QString::number(line.degree())));
    }

    void lineEditsChangeTheLineNotTheTransform()
    {
        LineGraphic line;
        line.setLine(QLineF(0, 0, 100, 0));
        const auto runs = [&line](const QPointF &p1, const QPointF &p2) {
            return near(line.line().p1(), p1) && near(line.line().p2(), p2);
        };
        line.setScale(2.0);
        QVERIFY(runs({-50, 0}, {150, 0}));
        line.setScale(1.0);
        QVERIFY(runs({0, 0}, {100, 0}));
        line.setDegree(90);
        QVERIFY(runs({50, -50}, {50, 50}));

        line.setDegree(30);
        const QLineF turned = line.line();
        line.flip();
        QCOMPARE(line.degree(), 330.0);
        QVERIFY(qAbs(LineGraphic::directionOf(line.line()) - 330) < 1e-9);
        line.mirror();
        QCOMPARE(line.degree(), 210.0);
        QVERIFY(qAbs(LineGraphic::directionOf(line.line()) - 210) < 1e-9);
        line.mirror();
        line.flip();
        QVERIFY(runs(turned.p1(), turned.p2()));
        QVERIFY(line.transform().isIdentity());
    }

    void textFormattingIsOneUndoStepAtTheCursor()
    {
        TextGraphic text;
        text.setDefaultTextColor(Qt::darkGreen);
        text.setPlainText(QStringLiteral("one two"));
        QCOMPARE(text.textColor(), QColor(Qt::darkGreen));
        QTextCursor cursor(text.document());
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        text.setTextCursor(cursor);
        text.setBold(true);
        text.setItalic(true);
        text.setUnderline(true);
        text.setFontPointSize(31);
        text.setFontFamily(QStringLiteral("Carlito"));
        text.setTextColor(Qt::red);
        QCOMPARE(text.textColor(), QColor(Qt::red));
        cursor.setPosition(2);
        const QTextCharFormat formatted = cursor.charFormat();
        QVERIFY(formatted.fontWeight() == QFont::Bold && formatted.fontItalic()
                && formatted.fontUnderline() && formatted.fontPointSize() == 31);
        QCOMPARE(formatted.fontFamilies().toStringList(), QStringList{QStringLiteral("Carlito")});
        // Each change is one step of the document's undo: five leave only the bold.
        for (int i = 0; i < 5; ++i)
            text.document()->undo();
        QVERIFY(cursor.charFormat().fontWeight() == QFont::Bold
                && !cursor.charFormat().fontItalic());
        text.document()->undo();
        QVERIFY(cursor.charFormat().fontWeight() != QFont::Bold);
    }

    void imageIsPlacedCentredOnThePointer()
    {
        QVERIFY(!ImageGraphic().beginCreate(QPointF(10, 10)));
        QPixmap pixmap(40, 20);
        pixmap.fill(Qt::red);
        ImageGraphic image(pixmap);
        QVERIFY(image.beginCreate(QPointF(100, 100)));
        QCOMPARE(image.pos(), QPointF(80, 90));
        QVERIFY(image.updateCreate(QPointF(120, 100)));
        QVERIFY(!image.updateCreate(QPointF(120, 100)));
        QCOMPARE(image.pos(), QPointF(100, 90));
        image.endCreate();
        QVERIFY(!image.updateCreate(QPointF(0, 0)));
    }
};

VELORA_TEST_MAIN(TestGraphics)
#include "tst_graphics.moc"
