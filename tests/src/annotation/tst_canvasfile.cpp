#include "CanvasFileHelpers.h"

#include <FreehandGraphic.h>
#include <HiliterGraphic.h>
#include <ImageGraphic.h>
#include <LineGraphic.h>
#include <ShapeGraphic.h>
#include <TextGraphic.h>
#include <VeloraTest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsRectItem>
#include <QRandomGenerator>

using CanvasFile::load;
using CanvasFile::save;

namespace {

const QString invalidFormat = QStringLiteral("Unable to read due to invalid format.");
const QString corrupt = QStringLiteral("Unable to read corrupt data.");
const QString noMemory = QStringLiteral("Insufficient memory.");

QByteArray envelope(const QByteArray &canvas)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document company=\"Kivo\" version=\"1.0\">"
            + canvas + "</document>\n";
}

QByteArray canvasHead(const QByteArray &itemCount)
{
    return "<canvas zMin=\"-1\" zMax=\"0\" item_count=\"" + itemCount
            + "\"><background_brush style=\"1\"><color r=\"255\" g=\"255\" b=\"255\" a=\"255\"/>"
              "</background_brush><scene_rect x=\"0\" y=\"0\" w=\"1024\" h=\"768\"/>";
}

QByteArray pen()
{
    return "<pen style=\"1\" width=\"4\"><color r=\"255\" g=\"0\" b=\"0\" a=\"255\"/></pen>";
}

QByteArray lineGraphic(const QByteArray &x1 = "0")
{
    return "<graphic type=\"6\" opacity=\"1\" x=\"0\" y=\"0\" z=\"0\" start_anchor=\"0\" "
           "end_anchor=\"0\" scale=\"1\" degree=\"0\" flipped=\"0\" mirrored=\"0\">"
            + pen() + "<line x1=\"" + x1 + "\" y1=\"0\" x2=\"10\" y2=\"10\"/></graphic>";
}

QByteArray freehandGraphic(const QByteArray &count, const QByteArray &points)
{
    return "<graphic type=\"65538\" opacity=\"1\" x=\"0\" y=\"0\" z=\"0\" start_anchor=\"0\" "
           "end_anchor=\"0\" scale=\"1\" degree=\"0\" flipped=\"0\" mirrored=\"0\">"
            + pen() + "<path count=\"" + count + "\" x=\"0\" y=\"0\" w=\"0\" h=\"0\">" + points
            + "</path></graphic>";
}

QList<BaseGraphic *> graphicsOf(const QGraphicsScene &scene)
{
    QList<BaseGraphic *> graphics;
    const QList<QGraphicsItem *> items = scene.items();
    for (QGraphicsItem *item : items) {
        if (BaseGraphic *graphic = BaseGraphic::fromItem(item))
            graphics << graphic;
    }
    return graphics;
}

QColor randomColor(QRandomGenerator &random)
{
    return QColor(random.bounded(256), random.bounded(256), random.bounded(256),
                  random.bounded(256));
}

// Coordinates on a quarter grid are exact in the file's six digits, so a shape rebuilt from its
// read-back bounds is the same shape.
qreal gridValue(QRandomGenerator &random, int range)
{
    return random.bounded(-range * 4, range * 4) / 4.0;
}

QPen randomPen(QRandomGenerator &random)
{
    return QPen(randomColor(random), random.bounded(1, 80) / 4.0,
                Qt::PenStyle(random.bounded(int(Qt::NoPen), int(Qt::CustomDashLine))), Qt::RoundCap,
                Qt::RoundJoin);
}

void randomizeCommon(QRandomGenerator &random, BaseGraphic &graphic, qreal z)
{
    QGraphicsItem *item = graphic.graphicsItem();
    item->setOpacity(random.bounded(101) / 100.0);
    item->setPos(gridValue(random, 500), gridValue(random, 500));
    item->setZValue(z);
    graphic.setScale(random.bounded(1, 40) / 8.0);
    graphic.setDegree(random.bounded(3600) / 10.0);
    if (random.bounded(2))
        graphic.flip();
    if (random.bounded(2))
        graphic.mirror();
}

QPainterPath randomStroke(QRandomGenerator &random)
{
    QPainterPath stroke(QPointF(gridValue(random, 400), gridValue(random, 400)));
    const int points = random.bounded(1, 60);
    for (int i = 0; i < points; ++i)
        stroke.lineTo(gridValue(random, 400), gridValue(random, 400));
    return stroke;
}

} // namespace

class TestCanvasFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheDocumentFormatExactly()
    {
        CanvasScene scene;
        auto *line = new LineGraphic;
        line->setPen(QPen(QColor(1, 2, 3, 4), 2.5));
        line->setLine(QLineF(1, 2, 30.123456789, 40));
        line->setPos(5, 6);
        line->setZValue(scene.nextTopZ());
        line->setEndAnchor(BaseGraphic::AnchorArrow);
        scene.addItem(line);

        const QByteArray expected = R"(<?xml version="1.0" encoding="UTF-8"?>
<document company="Kivo" version="1.0">
    <canvas zMin="-1" zMax="1" item_count="1">
        <background_brush style="1">
            <color r="255" g="255" b="255" a="255"/>
        </background_brush>
        <scene_rect x="0" y="0" w="1024" h="768"/>
        <graphic type="6" opacity="1" x="5" y="6" z="0" start_anchor="0" end_anchor="1" scale="1" degree="0" flipped="0" mirrored="0">
            <pen style="1" width="2.5">
                <color r="1" g="2" b="3" a="4"/>
            </pen>
            <line x1="1" y1="2" x2="30.1235" y2="40"/>
        </graphic>
    </canvas>
</document>
)";
        QCOMPARE(save(scene), expected);
    }

    void fullDiskIsReportedByClose()
    {
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            QSKIP("this system has no /dev/full");
        CanvasScene scene;
        auto *line = new LineGraphic;
        line->setLine(QLineF(0, 0, 5, 5));
        scene.addItem(line);
        CanvasDocumentWriter writer;
        QVERIFY(writer.open(&full));
        scene.writeXml(writer);
        QVERIFY(!writer.close());
        QVERIFY(writer.hasError());
    }

    void emptyCanvasRoundTripLeavesTheItemsAlone()
    {
        CanvasScene empty;
        empty.setBackgroundBrush(QColor(10, 20, 30));
        empty.setSceneRect(-5, -6, 640, 480);
        const QByteArray bytes = save(empty);
        QVERIFY(bytes.contains("item_count=\"0\""));
        QVERIFY(bytes.contains("<background_brush style=\"1\">"));
        QVERIFY(bytes.contains("<scene_rect x=\"-5\" y=\"-6\" w=\"640\" h=\"480\"/>"));
        QVERIFY(!bytes.contains("<graphic"));

        CanvasScene target;
        auto *existing = new QGraphicsRectItem(0, 0, 10, 10);
        target.addItem(existing);
        const auto result = load(bytes, target);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(target.items(), QList<QGraphicsItem *>{existing});
        QCOMPARE(target.backgroundBrush().color(), QColor(10, 20, 30));
        QCOMPARE(target.sceneRect(), QRectF(-5, -6, 640, 480));
    }

    void textAndImageItemsAreNeitherWrittenNorCounted()
    {
        CanvasScene scene;
        auto *text = new TextGraphic;
        text->setPlainText(QStringLiteral("Hello"));
        scene.addItem(text);
        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::blue);
        scene.addItem(new ImageGraphic(pixmap));
        auto *shape = new ShapeGraphic(0);
        shape->setPath(ShapeGraphic::templatePath(0, QRectF(0, 0, 10, 10)));
        scene.addItem(shape);
        auto *line = new LineGraphic;
        line->setLine(QLineF(0, 0, 5, 5));
        scene.addItem(line);

        const QByteArray bytes = save(scene);
        QVERIFY(bytes.contains("item_count=\"2\""));
        QCOMPARE(bytes.count("<graphic "), 2);
        QVERIFY(bytes.contains("type=\"65537\""));
        QVERIFY(bytes.contains("type=\"6\""));

        CanvasScene target;
        QVERIFY(load(bytes, target).ok);
        QCOMPARE(graphicsOf(target).size(), 2);
    }

    void singleClickStrokeIsSavedWithTwoPoints()
    {
        CanvasScene scene;
        auto *stroke = new FreehandGraphic;
        QVERIFY(stroke->beginCreate(QPointF(100, 50)));
        stroke->endCreate();
        scene.addItem(stroke);

        const QByteArray bytes = save(scene);
        QVERIFY(bytes.contains("<path count=\"2\""));
        QVERIFY(bytes.contains("<point x=\"99.9\" y=\"50\"/><point x=\"100\" y=\"50\"/>"));

        CanvasScene target;
        QVERIFY(load(bytes, target).ok);
        auto *read = dynamic_cast<FreehandGraphic *>(target.items().value(0));
        QVERIFY(read);
        QCOMPARE(read->sourcePath().elementCount(), 2);
        QCOMPARE(QPointF(read->sourcePath().elementAt(0)), QPointF(99.9, 50));
    }

    void pointsAreWrittenOnOneLine()
    {
        CanvasScene scene;
        auto *stroke = new FreehandGraphic;
        QPainterPath path(QPointF(0, 0));
        path.lineTo(1, 1);
        path.lineTo(2, 0);
        stroke->setSourcePath(path);
        scene.addItem(stroke);
        const QByteArray bytes = save(scene);
        QVERIFY(bytes.contains("<path count=\"3\" x=\"0\" y=\"0\" w=\"2\" h=\"1\"><point x=\"0\" "
                               "y=\"0\"/><point x=\"1\" y=\"1\"/><point x=\"2\" y=\"0\"/>\n"
                               "            </path>\n        </graphic>\n"));
    }

    void readingRestoresItemsAndForcesPenRules()
    {
        const QByteArray bytes = envelope(
                canvasHead("3")
                + "<graphic type=\"65541\" opacity=\"0.5\" x=\"3\" y=\"4\" z=\"7\" "
                  "start_anchor=\"1\" end_anchor=\"2\" scale=\"2\" degree=\"45\" flipped=\"1\" "
                  "mirrored=\"0\"><pen style=\"2\" width=\"12\"><color r=\"0\" g=\"255\" b=\"0\" "
                  "a=\"255\"/></pen><path count=\"2\" x=\"0\" y=\"0\" w=\"0\" h=\"0\">"
                  "<point x=\"0\" y=\"0\"/><point x=\"20\" y=\"0\"/></path></graphic>"
                + "<graphic type=\"65537\" opacity=\"1\" x=\"0\" y=\"0\" z=\"1\" scale=\"1\" "
                  "degree=\"0\" flipped=\"0\" mirrored=\"1\" shape=\"1\">"
                + pen()
                + "<brush style=\"9\"><color r=\"0\" g=\"0\" b=\"255\" a=\"255\"/></brush>"
                  "<path count=\"2\" x=\"0\" y=\"0\" w=\"0\" h=\"0\"><point x=\"10\" y=\"20\"/>"
                  "<point x=\"50\" y=\"40\"/></path></graphic>"
                + "<graphic type=\"65537\" opacity=\"1\" x=\"0\" y=\"0\" z=\"2\" scale=\"1\" "
                  "degree=\"0\" flipped=\"0\" mirrored=\"0\" shape=\"2\">"
                + pen()
                + "<brush style=\"15\"/><path count=\"3\" x=\"0\" y=\"0\" w=\"0\" h=\"0\">"
                  "<point x=\"0\" y=\"0\"/><point x=\"5\" y=\"5\"/><point x=\"0\" y=\"5\"/>"
                  "</path></graphic></canvas>");
        CanvasScene scene;
        const auto result = load(bytes, scene);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(scene.zMin(), -1.0);
        QCOMPARE(scene.zMax(), 0.0);

        const QList<QGraphicsItem *> items = scene.items(Qt::AscendingOrder);
        QCOMPARE(items.size(), 3);
        auto *hiliter = dynamic_cast<HiliterGraphic *>(items.at(2));
        QVERIFY(hiliter);
        QCOMPARE(hiliter->pen().color(), QColor(0, 255, 0, 127));
        QCOMPARE(hiliter->pen().style(), Qt::DashLine);
        QCOMPARE(hiliter->pen().capStyle(), Qt::RoundCap);
        QCOMPARE(hiliter->pen().widthF(), 12.0);
        QCOMPARE(hiliter->opacity(), 0.5);
        QCOMPARE(hiliter->pos(), QPointF(3, 4));
        QCOMPARE(hiliter->zValue(), 7.0);
        QCOMPARE(hiliter->startAnchor(), int(BaseGraphic::AnchorArrow));
        QCOMPARE(hiliter->endAnchor(), int(BaseGraphic::AnchorDot));
        QCOMPARE(hiliter->scale(), 2.0);
        QCOMPARE(hiliter->degree(), 45.0);
        QVERIFY(hiliter->isFlipped());
        QVERIFY(!hiliter->isMirrored());
        QVERIFY(!hiliter->anchorPath().isEmpty());
        // The stored transform is applied: the stroke's centre stays, its end moves away.
        const QPointF centre = hiliter->boundingRect().center();
        QVERIFY(qAbs(hiliter->transform().map(centre).x() - centre.x()) < 1e-9);
        QVERIFY(hiliter->transform().map(QPointF(20, 0)) != QPointF(20, 0));

        auto *ellipse = dynamic_cast<ShapeGraphic *>(items.at(0));
        QVERIFY(ellipse);
        QCOMPARE(ellipse->shapeType(), 1u);
        QCOMPARE(ellipse->path(), ShapeGraphic::templatePath(1, QRectF(10, 20, 40, 20)));
        QCOMPARE(ellipse->pen().joinStyle(), Qt::RoundJoin);
        // Hatched brushes are not kept: they come back solid in their colour.
        QCOMPARE(ellipse->brush().style(), Qt::SolidPattern);
        QCOMPARE(ellipse->brush().color(), QColor(Qt::blue));
        QVERIFY(ellipse->isMirrored());

        auto *triangle = dynamic_cast<ShapeGraphic *>(items.at(1));
        QVERIFY(triangle);
        QCOMPARE(triangle->path().elementCount(), 3);
        QCOMPARE(triangle->pen().joinStyle(), Qt::MiterJoin);
        // A gradient has no colour in the file.
        QCOMPARE(triangle->brush().style(), Qt::SolidPattern);
        QVERIFY(!triangle->brush().color().isValid());
    }

    void highlighterAlphaAfterSetAndRead()
    {
        HiliterGraphic fresh;
        QCOMPARE(fresh.pen().color().alpha(), 127);
        fresh.setPen(QPen(QColor(10, 20, 30, 255), 20));
        QCOMPARE(fresh.pen().color(), QColor(10, 20, 30, 127));
        fresh.setPen(QPen(QColor(10, 20, 30, 3), 20));
        QCOMPARE(fresh.pen().color().alpha(), 127);

        CanvasScene scene;
        auto *stroke = new HiliterGraphic;
        stroke->setSourcePath(QPainterPath(QPointF(1, 1)));
        scene.addItem(stroke);
        QByteArray bytes = save(scene);
        QVERIFY(bytes.contains("a=\"127\""));
        bytes.replace("a=\"127\"", "a=\"9\"");
        CanvasScene target;
        QVERIFY(load(bytes, target).ok);
        auto *read = dynamic_cast<HiliterGraphic *>(target.items().value(0));
        QVERIFY(read);
        QCOMPARE(read->pen().color().alpha(), 127);
    }

    void randomCanvasWritesTheSameBytesAfterReadingBack_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 42u, 2024u, 65537u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void randomCanvasWritesTheSameBytesAfterReadingBack()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        CanvasScene scene;
        scene.setZRange(-int(random.bounded(50)), int(random.bounded(50)));
        scene.setBackgroundBrush(random.bounded(2) ? QBrush(randomColor(random)) : QBrush());
        scene.setSceneRect(gridValue(random, 100), gridValue(random, 100), random.bounded(1, 4000),
                           random.bounded(1, 4000));
        const int count = random.bounded(1, 40);
        for (int i = 0; i < count; ++i) {
            // Distinct z values: equal ones would come back stacked in reading order.
            const qreal z = i * 1.5 - 10;
            switch (random.bounded(4)) {
            case 0: {
                auto *line = new LineGraphic;
                line->setPen(randomPen(random));
                line->setLine(QLineF(gridValue(random, 300), gridValue(random, 300),
                                     gridValue(random, 300), gridValue(random, 300)));
                line->setStartAnchor(random.bounded(3));
                line->setEndAnchor(random.bounded(3));
                randomizeCommon(random, *line, z);
                scene.addItem(line);
                break;
            }
            case 1: {
                const quint32 kind = random.bounded(18);
                auto *shape = new ShapeGraphic(kind);
                QPen shapePen = randomPen(random);
                shapePen.setJoinStyle(ShapeGraphic::joinStyle(kind));
                shape->setPen(shapePen);
                shape->setBrush(random.bounded(2) ? QBrush(randomColor(random)) : QBrush());
                shape->setPath(ShapeGraphic::templatePath(
                        kind,
                        QRectF(gridValue(random, 300), gridValue(random, 300),
                               random.bounded(1, 400) / 4.0, random.bounded(1, 400) / 4.0)));
                randomizeCommon(random, *shape, z);
                scene.addItem(shape);
                break;
            }
            default: {
                FreehandGraphic *stroke
                        = random.bounded(2) ? new FreehandGraphic : new HiliterGraphic;
                stroke->setPen(randomPen(random));
                stroke->setSourcePath(randomStroke(random));
                stroke->setStartAnchor(random.bounded(3));
                stroke->setEndAnchor(random.bounded(3));
                randomizeCommon(random, *stroke, z);
                scene.addItem(stroke);
                break;
            }
            }
        }
        // Unsaved items in between must not disturb the saved ones.
        scene.addItem(new TextGraphic);

        const QByteArray first = save(scene);
        QCOMPARE(first.count("<graphic "), count);
        CanvasScene reread;
        const auto result = load(first, reread);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(graphicsOf(reread).size(), count);
        const QByteArray second = save(reread);
        if (first != second) {
            const QList<QByteArray> a = first.split('\n');
            const QList<QByteArray> b = second.split('\n');
            for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i)
                QCOMPARE(b.at(i), a.at(i));
        }
        QCOMPARE(second, first);
    }

    void envelopeIsChecked_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("version 1.1") << QByteArray(
                "<?xml version=\"1.0\"?><document company=\"Kivo\" version=\"1.1\"></document>");
        QTest::addRow("other company") << QByteArray(
                "<?xml version=\"1.0\"?><document company=\"Acme\" version=\"1.0\"></document>");
        QTest::addRow("no version") << QByteArray("<document company=\"Kivo\"></document>");
        QTest::addRow("other root") << QByteArray("<canvas zMin=\"0\" zMax=\"0\"/>");
        QTest::addRow("empty file") << QByteArray();
        QTest::addRow("not xml") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        QTest::addRow("truncated tag") << QByteArray("<?xml version=\"1.0\"?><docu");
    }

    void envelopeIsChecked()
    {
        QFETCH(QByteArray, bytes);
        CanvasScene scene;
        const auto result = load(bytes, scene);
        QVERIFY(!result.ok);
        QCOMPARE(result.error, invalidFormat);
    }

    void unknownItemTypeStopsWithInsufficientMemory()
    {
        const QByteArray text = "<graphic type=\"65540\" opacity=\"1\" x=\"0\" y=\"0\" z=\"0\" "
                                "scale=\"1\" degree=\"0\" flipped=\"0\" mirrored=\"0\"/>";
        CanvasScene scene;
        const auto result = load(
                envelope(canvasHead("3") + lineGraphic() + text + lineGraphic() + "</canvas>"),
                scene);
        QVERIFY(!result.ok);
        QCOMPARE(result.error, noMemory);
        // The item before the bad one stays; nothing after it is read.
        QCOMPARE(scene.items().size(), 1);
    }

    void hostileFilesFailCleanly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("itemsLeft");

        QTest::addRow("huge point count") << envelope(
                canvasHead("1") + freehandGraphic("2147483647", "<point x=\"1\" y=\"1\"/>")
                + "</canvas>") << corrupt << 0;
        QTest::addRow("huge item count")
                << envelope(canvasHead("2000000000") + lineGraphic() + lineGraphic() + "</canvas>")
                << corrupt << 2;
        QTest::addRow("item count beyond int")
                << envelope(canvasHead("99999999999999999999") + lineGraphic() + "</canvas>")
                << QString() << 0;
        QTest::addRow("missing zMax") << envelope(
                "<canvas zMin=\"0\" item_count=\"0\"><scene_rect x=\"0\" y=\"0\" w=\"1\" "
                "h=\"1\"/></canvas>") << corrupt
                                      << 0;
        QTest::addRow("missing item_count")
                << envelope("<canvas zMin=\"0\" zMax=\"0\"><scene_rect x=\"0\" y=\"0\" w=\"1\" "
                            "h=\"1\"/></canvas>")
                << corrupt << 0;
        QTest::addRow("missing scene rect")
                << envelope("<canvas zMin=\"0\" zMax=\"0\" item_count=\"0\"/>") << corrupt << 0;
        QTest::addRow("scene rect without h") << envelope(
                "<canvas zMin=\"0\" zMax=\"0\" item_count=\"0\"><scene_rect x=\"0\" y=\"0\" "
                "w=\"1\"/></canvas>") << corrupt
                                              << 0;
        QTest::addRow("no canvas") << envelope("") << corrupt << 0;
        QTest::addRow("other element instead of graphic")
                << envelope(canvasHead("1") + "<picture type=\"6\"/></canvas>") << corrupt << 0;
        QTest::addRow("graphic without type")
                << envelope(canvasHead("1") + "<graphic/></canvas>") << corrupt << 0;
        QTest::addRow("empty scale") << envelope(
                canvasHead("1") + QByteArray(lineGraphic()).replace("scale=\"1\"", "scale=\"\"")
                + "</canvas>") << corrupt
                                     << 0;
        QTest::addRow("missing end anchor") << envelope(
                canvasHead("1") + QByteArray(lineGraphic()).replace("end_anchor=\"0\"", "")
                + "</canvas>") << corrupt << 0;
        QTest::addRow("line without line element") << envelope(
                canvasHead("1") + QByteArray(lineGraphic()).replace(QByteArray("<line"), "<lime")
                + "</canvas>") << corrupt << 0;
        QTest::addRow("pen without colour")
                << envelope(canvasHead("1")
                            + QByteArray(lineGraphic())
                                      .replace("<color r=\"255\" g=\"0\" b=\"0\" a=\"255\"/>", "")
                            + "</canvas>")
                << corrupt << 0;
        QTest::addRow("point without y") << envelope(
                canvasHead("1") + freehandGraphic("1", "<point x=\"1\"/>") + "</canvas>")
                                         << corrupt << 0;
        QTest::addRow("stroke without path") << envelope(
                canvasHead("1") + freehandGraphic("0", "").replace("<path", "<pith") + "</canvas>")
                                             << corrupt << 0;
        QTest::addRow("negative item count is an empty canvas")
                << envelope(canvasHead("-5") + "</canvas>") << QString() << 0;
        QTest::addRow("non-numbers read as zero")
                << envelope(canvasHead("1") + lineGraphic("one") + "</canvas>") << QString() << 1;
        QTest::addRow("not well formed inside")
                << envelope(canvasHead("2") + lineGraphic() + "<graphic type=\"6\" <<</canvas>")
                << corrupt << 1;
        QTest::addRow("mismatched end tag") << envelope(
                canvasHead("1") + lineGraphic().replace("</graphic>", "</graphix>") + "</canvas>")
                                            << corrupt << 1;
        // XML the writer never produces but other tools may: accepted where well formed.
        QTest::addRow("comments, instructions, CDATA, single quotes")
                << envelope(canvasHead("1") + "<!-- note --><?tool x?><![CDATA[<graphic>]]>"
                            + lineGraphic().replace("x=\"0\"", "x='0'") + "</canvas>")
                << QString() << 1;
        QTest::addRow("document type refused")
                << QByteArray("<!DOCTYPE d [<!ENTITY a \"aaaa\">]>") + envelope("") << invalidFormat
                << 0;
        QTest::addRow("other encoding refused")
                << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?>") + envelope("")
                << invalidFormat << 0;
        QTest::addRow("unknown entity")
                << envelope(canvasHead("1") + lineGraphic("&lol;") + "</canvas>") << corrupt << 0;
        QTest::addRow("attribute twice") << envelope(
                canvasHead("1") + lineGraphic().replace("z=\"0\"", "z=\"0\" z=\"1\"") + "</canvas>")
                                         << corrupt << 0;
        QTest::addRow("unquoted attribute")
                << envelope(canvasHead("1") + lineGraphic().replace("z=\"0\"", "z=0") + "</canvas>")
                << corrupt << 0;
    }

    void hostileFilesFailCleanly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(int, itemsLeft);
        CanvasScene scene;
        const auto result = load(bytes, scene);
        QCOMPARE(result.ok, error.isEmpty());
        if (!error.isEmpty())
            QCOMPARE(result.error, error);
        QCOMPARE(scene.items().size(), itemsLeft);
    }

    void attributeNumbersAreReadLikeXmlTools()
    {
        const auto firstX = [](const QByteArray &x1) {
            CanvasScene scene;
            if (!load(envelope(canvasHead("1") + lineGraphic(x1) + "</canvas>"), scene).ok)
                return qQNaN();
            const auto *line = dynamic_cast<LineGraphic *>(scene.items().value(0));
            return line ? line->line().x1() : qQNaN();
        };
        QCOMPARE(firstX("nan"), 0.0);
        QCOMPARE(firstX("1e999"), 0.0);
        QCOMPARE(firstX("3 4"), 0.0);
        QCOMPARE(firstX("&#49;&#x32;.5"), 12.5);
        QCOMPARE(firstX("&#10;+7&#9;"), 7.0);
        QCOMPARE(firstX("-2.5e1"), -25.0);
    }

    void everyTruncationFailsWithOurMessage()
    {
        CanvasScene scene;
        auto *stroke = new FreehandGraphic;
        QPainterPath path(QPointF(1, 2));
        path.lineTo(3, 4);
        stroke->setSourcePath(path);
        scene.addItem(stroke);
        auto *shape = new ShapeGraphic(2);
        shape->setPath(ShapeGraphic::templatePath(2, QRectF(0, 0, 8, 8)));
        scene.addItem(shape);
        const QByteArray bytes = save(scene);
        // Past this point only the closing tags are missing, which the reader does not need.
        const qsizetype lastItemEnd
                = bytes.lastIndexOf("</graphic>") + qsizetype(strlen("</graphic>"));
        for (qsizetype length = 0; length < lastItemEnd; ++length) {
            CanvasScene target;
            const auto result = load(bytes.left(length), target);
            QVERIFY2(!result.ok, qPrintable(QString::number(length)));
            QVERIFY2(result.error == invalidFormat || result.error == corrupt,
                     qPrintable(QString::number(length) + u' ' + result.error));
        }
    }

    void deepNestingIsSkippedOrRefusedQuickly()
    {
        constexpr int depth = 200000;
        const QByteArray open = QByteArray("<n>").repeated(depth);
        const QByteArray close = QByteArray("</n>").repeated(depth);
        QElapsedTimer timer;
        timer.start();

        // Inside an item, extra children are skipped as a whole.
        CanvasScene skipped;
        QByteArray nested = lineGraphic();
        nested.insert(nested.indexOf("</graphic>"), open + close);
        const auto skippedResult = load(envelope(canvasHead("1") + nested + "</canvas>"), skipped);
        QVERIFY2(skippedResult.ok, qPrintable(skippedResult.error));
        QCOMPARE(skipped.items().size(), 1);

        // Where a codec expects its element, the nesting is refused.
        CanvasScene refused;
        const auto refusedResult
                = load(envelope(canvasHead("1") + open + close + "</canvas>"), refused);
        QVERIFY(!refusedResult.ok);
        QCOMPARE(refusedResult.error, corrupt);

        // Nesting that is never closed ends in a parse error, not in a hang.
        CanvasScene unclosed;
        QByteArray unclosedItem = lineGraphic();
        unclosedItem.insert(unclosedItem.indexOf("</graphic>"), open);
        const auto unclosedResult
                = load(envelope(canvasHead("1") + unclosedItem + "</canvas>"), unclosed);
        QVERIFY(!unclosedResult.ok);
        QCOMPARE(unclosedResult.error, corrupt);
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }
};

VELORA_TEST_MAIN(TestCanvasFile)
#include "tst_canvasfile.moc"
