#include "CanvasFileHelpers.h"

#include <FreehandGraphic.h>
#include <HiliterGraphic.h>
#include <ImageGraphic.h>
#include <LineGraphic.h>
#include <ShapeGraphic.h>
#include <TextGraphic.h>
#include <VeloraTest.h>

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

/// A canvas file holding `items`, which it says are `itemCount`.
QByteArray canvasFile(const QByteArray &itemCount, const QByteArray &items)
{
    return envelope(canvasHead(itemCount) + items + "</canvas>");
}

QByteArray pen()
{
    return "<pen style=\"1\" width=\"4\"><color r=\"255\" g=\"0\" b=\"0\" a=\"255\"/></pen>";
}

/// A `path` element of `points`, saying it holds `count` of them (by default as many as it has).
QByteArray path(const QByteArray &points, QByteArray count = {})
{
    if (count.isNull())
        count = QByteArray::number(points.count("<point"));
    return "<path count=\"" + count + "\" x=\"0\" y=\"0\" w=\"0\" h=\"0\">" + points + "</path>";
}

/// A `graphic` element of `type` with a red pen, at the origin and untransformed.
QByteArray graphic(const QByteArray &type, const QByteArray &attributes, const QByteArray &children)
{
    return "<graphic type=\"" + type
            + "\" opacity=\"1\" x=\"0\" y=\"0\" z=\"0\" scale=\"1\" degree=\"0\" flipped=\"0\" "
              "mirrored=\"0\" "
            + attributes + ">" + pen() + children + "</graphic>";
}

const QByteArray anchors = "start_anchor=\"0\" end_anchor=\"0\"";

QByteArray lineGraphic(const QByteArray &x1 = "0")
{
    return graphic("6", anchors, "<line x1=\"" + x1 + "\" y1=\"0\" x2=\"10\" y2=\"10\"/>");
}

QByteArray shapeGraphic(const QByteArray &kind, const QByteArray &brush, const QByteArray &points)
{
    return graphic("65537", "shape=\"" + kind + "\"", brush + path(points));
}

QList<BaseGraphic *> graphicsOf(const QGraphicsScene &scene)
{
    QList<BaseGraphic *> graphics;
    const QList<QGraphicsItem *> items = scene.items();
    for (QGraphicsItem *item : items) {
        if (BaseGraphic *graphic = BaseGraphic::fromItem(item);
            graphic && graphic->hasCapability(BaseGraphic::CapSave))
            graphics << graphic;
    }
    return graphics;
}

/// An item of a random saved class in a random state. Coordinates lie on a quarter grid, which
/// the file's six digits hold exactly, so that a shape rebuilt from its read-back bounds is the
/// same shape.
BaseGraphic *randomGraphic(QRandomGenerator &random, qreal z)
{
    const auto grid = [&random](int range) {
        return random.bounded(-range * 4, range * 4) / 4.0;
    };
    const auto colour = [&random] {
        return QColor::fromRgba(random.generate());
    };
    QPen pen(colour(), random.bounded(1, 80) / 4.0,
             Qt::PenStyle(random.bounded(int(Qt::NoPen), int(Qt::CustomDashLine))), Qt::RoundCap,
             Qt::RoundJoin);
    BaseGraphic *graphic = nullptr;
    switch (random.bounded(4)) {
    case 0: {
        auto *line = new LineGraphic;
        line->setLine(QLineF(grid(300), grid(300), grid(300), grid(300)));
        graphic = line;
        break;
    }
    case 1: {
        const quint32 kind = random.bounded(ShapeGraphic::LastKind + 1);
        auto *shape = new ShapeGraphic(kind);
        pen.setJoinStyle(ShapeGraphic::joinStyle(kind));
        shape->setBrush(random.bounded(2) ? QBrush(colour()) : QBrush());
        shape->setPath(ShapeGraphic::templatePath(kind,
                                                  QRectF(grid(300), grid(300),
                                                         random.bounded(1, 400) / 4.0,
                                                         random.bounded(1, 400) / 4.0)));
        graphic = shape;
        break;
    }
    default: {
        FreehandGraphic *stroke = random.bounded(2) ? new FreehandGraphic : new HiliterGraphic;
        QPainterPath path(QPointF(grid(400), grid(400)));
        for (int points = random.bounded(1, 60); points > 0; --points)
            path.lineTo(grid(400), grid(400));
        stroke->setSourcePath(path);
        graphic = stroke;
        break;
    }
    }
    graphic->setPen(pen);
    graphic->setStartAnchor(random.bounded(3));
    graphic->setEndAnchor(random.bounded(3));
    QGraphicsItem *item = graphic->graphicsItem();
    item->setOpacity(random.bounded(101) / 100.0);
    item->setPos(grid(500), grid(500));
    item->setZValue(z);
    graphic->setScale(random.bounded(1, 40) / 8.0);
    graphic->setDegree(random.bounded(3600) / 10.0);
    if (random.bounded(2))
        graphic->flip();
    if (random.bounded(2))
        graphic->mirror();
    return graphic;
}

} // namespace

class TestCanvasFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheDocumentFormatExactlyOrSaysItCouldNot()
    {
        CanvasScene scene;
        auto *line = new LineGraphic;
        line->setPen(QPen(QColor(1, 2, 3, 4), 2.5));
        line->setLine(QLineF(1, 2, 30.123456789, 40));
        line->setPos(5, 6);
        line->setZValue(scene.nextTopZ());
        line->setEndAnchor(BaseGraphic::AnchorArrow);
        scene.addItem(line);
        // A click alone: the point 0.1 to its left and the point itself, on one line.
        auto *dot = new FreehandGraphic;
        QVERIFY(dot->beginCreate(QPointF(100, 50)));
        dot->endCreate();
        dot->setZValue(scene.nextTopZ());
        scene.addItem(dot);
        // Text and pictures are neither written nor counted.
        auto *text = new TextGraphic;
        text->setPlainText(QStringLiteral("Hello"));
        scene.addItem(text);
        scene.addItem(new ImageGraphic(QPixmap(8, 8)));

        const QByteArray expected = R"(<?xml version="1.0" encoding="UTF-8"?>
<document company="Kivo" version="1.0">
    <canvas zMin="-1" zMax="2" item_count="2">
        <background_brush style="1">
            <color r="255" g="255" b="255" a="255"/>
        </background_brush>
        <scene_rect x="0" y="0" w="1024" h="768"/>
        <graphic type="65538" opacity="1" x="0" y="0" z="1" start_anchor="0" end_anchor="0" scale="1" degree="0" flipped="0" mirrored="0">
            <pen style="1" width="4">
                <color r="255" g="0" b="0" a="255"/>
            </pen>
            <path count="2" x="99.9" y="50" w="0.1" h="0"><point x="99.9" y="50"/><point x="100" y="50"/>
            </path>
        </graphic>
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
        // A full disk is reported when the writer closes.
        QFile full(QStringLiteral("/dev/full"));
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        CanvasDocumentWriter writer;
        QVERIFY(writer.open(&full));
        scene.writeXml(writer);
        QVERIFY(!writer.close() && writer.hasError());
    }

    void unknownShapeKindIsWrittenAsARectangleAndReadingAddsToTheScene()
    {
        CanvasScene scene;
        // A kind without a shape of its own is drawn, and so saved, as a rectangle.
        auto *shape = new ShapeGraphic(~0u);
        shape->setPath(ShapeGraphic::templatePath(~0u, QRectF(0, 0, 10, 10)));
        scene.addItem(shape);
        const QByteArray bytes = save(scene);
        QVERIFY(bytes.contains("shape=\"0\""));

        CanvasScene target;
        auto *existing = new QGraphicsRectItem(0, 0, 10, 10);
        target.addItem(existing);
        QCOMPARE(load(bytes, target), QString());
        QVERIFY(target.items().size() == 2 && target.items().contains(existing));
    }

    // What a round trip cannot see: the rules reading applies to what the writer never writes.
    void readingAppliesTheItemRules()
    {
        const QByteArray line = "<point x=\"0\" y=\"0\"/><point x=\"20\" y=\"0\"/>";
        const QByteArray bytes = canvasFile(
                "3",
                graphic("65541", anchors, path(line))
                                .replace(pen(), pen().replace("1\" width", "2\" width"))
                        + shapeGraphic("1",
                                       "<brush style=\"9\"><color r=\"0\" g=\"0\" b=\"255\" "
                                       "a=\"255\"/></brush>",
                                       line)
                        + shapeGraphic("2", "<brush style=\"15\"/>", line));
        CanvasScene scene;
        QCOMPARE(load(bytes, scene), QString());
        const QList<QGraphicsItem *> items = scene.items(Qt::AscendingOrder);
        QCOMPARE(items.size(), 3);
        // A highlighter's alpha is always 127, read or set; every stroke has round caps.
        auto *hiliter = dynamic_cast<HiliterGraphic *>(items.at(0));
        QVERIFY(hiliter);
        QCOMPARE(hiliter->pen().color(), QColor(255, 0, 0, 127));
        QCOMPARE(hiliter->pen().style(), Qt::DashLine);
        QCOMPARE(hiliter->pen().capStyle(), Qt::RoundCap);
        hiliter->setPen(QPen(QColor(10, 20, 30, 3), 20));
        QCOMPARE(hiliter->pen().color(), QColor(10, 20, 30, 127));
        // Hatched brushes come back solid; a gradient has no colour in the file.
        QCOMPARE(BaseGraphic::fromItem(items.at(1))->brush(), QBrush(Qt::blue));
        QCOMPARE(BaseGraphic::fromItem(items.at(2))->brush().style(), Qt::SolidPattern);
        QVERIFY(!BaseGraphic::fromItem(items.at(2))->brush().color().isValid());
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
        scene.setBackgroundBrush(random.bounded(2) ? QBrush(QColor::fromRgba(random.generate()))
                                                   : QBrush());
        scene.setSceneRect(random.bounded(-400, 400) / 4.0, random.bounded(-400, 400) / 4.0,
                           random.bounded(1, 4000), random.bounded(1, 4000));
        const int count = random.bounded(1, 40);
        // Distinct z values: equal ones would come back stacked in reading order.
        for (int i = 0; i < count; ++i)
            scene.addItem(randomGraphic(random, i * 1.5 - 10)->graphicsItem());
        // Unsaved items in between must not disturb the saved ones.
        scene.addItem(new TextGraphic);

        const QByteArray first = save(scene);
        QCOMPARE(first.count("<graphic "), count);
        CanvasScene reread;
        QCOMPARE(load(first, reread), QString());
        // Line by line, so that a failure shows the line that differs.
        QCOMPARE(save(reread).split('\n'), first.split('\n'));
        // What the bytes cannot show: the pen rules, and the transform and curves each item
        // rebuilds (polygons come back rounded to six digits, so only their pens compare).
        const QList<BaseGraphic *> originals = graphicsOf(scene);
        const QList<BaseGraphic *> copies = graphicsOf(reread);
        QCOMPARE(copies.size(), count);
        for (qsizetype i = 0; i < count; ++i) {
            QCOMPARE(copies[i]->pen(), originals[i]->pen());
            const auto *shape = dynamic_cast<ShapeGraphic *>(copies[i]);
            if (shape && shape->shapeType() > 1 && shape->shapeType() < ShapeGraphic::LastKind)
                continue;
            QCOMPARE(copies[i]->graphicsItem()->transform(),
                     originals[i]->graphicsItem()->transform());
            if (shape)
                QCOMPARE(shape->path(), static_cast<ShapeGraphic *>(originals[i])->path());
        }
    }

    void hostileFilesFailCleanly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("itemsLeft");
        QTest::addColumn<qreal>("x1");
        const auto row = [](const char *name, const QByteArray &bytes, const QString &error,
                            int itemsLeft = 0, qreal x1 = 0) {
            QTest::addRow("%s", name) << bytes << error << itemsLeft << x1;
        };
        const QByteArray line = lineGraphic();
        const QByteArray dot = "<point x=\"1\" y=\"1\"/>";
        // The canvas of the one line with `from` written as `to`.
        const auto damaged = [&line](const QByteArray &from, const QByteArray &to) {
            return canvasFile("1", QByteArray(line).replace(from, to));
        };

        // A document of another version or maker, or no document at all, is refused whole.
        const QByteArray xml = "<?xml version=\"1.0\"?>";
        row("version 1.1", xml + "<document company=\"Kivo\" version=\"1.1\"/>", invalidFormat);
        row("other company", xml + "<document company=\"Acme\" version=\"1.0\"/>", invalidFormat);
        row("other root", "<canvas zMin=\"0\" zMax=\"0\"/>", invalidFormat);
        row("empty file", QByteArray(), invalidFormat);
        row("not xml", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), invalidFormat);
        row("document type", "<!DOCTYPE d [<!ENTITY a \"aaaa\">]>" + envelope(""), invalidFormat);
        row("other encoding", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + envelope(""),
            invalidFormat);

        // The items before a bad one stay; nothing after it is read.
        row("text item type", canvasFile("3", line + graphic("65540", "", "") + line), noMemory, 1);
        // Shape kinds are unsigned and end at 17; whatever else a file says is damage.
        for (const char *kind : {"-1", "18", "4294967295", "1.5"}) {
            row(qPrintable(QStringLiteral("shape kind %1").arg(QLatin1String(kind))),
                canvasFile("2", line + shapeGraphic(kind, "<brush style=\"0\"/>", dot)), corrupt,
                1);
        }
        row("huge point count", canvasFile("1", graphic("65538", anchors, path(dot, "2147483647"))),
            corrupt);
        row("huge item count", canvasFile("2000000000", line + line), corrupt, 2);
        row("item count beyond int", canvasFile("99999999999999999999", line), QString());
        row("negative item count", canvasFile("-5", ""), QString());
        row("missing zMax", canvasFile("0", "").replace("zMax=\"0\" ", ""), corrupt);
        row("missing item_count", canvasFile("0", "").replace("item_count=\"0\"", ""), corrupt);
        row("missing scene rect", canvasFile("0", "").replace("<scene_rect", "<scene_rectangle"),
            corrupt);
        row("no canvas", envelope(""), corrupt);
        row("other element instead of graphic", canvasFile("1", "<picture type=\"6\"/>"), corrupt);
        row("graphic without type", canvasFile("1", "<graphic/>"), corrupt);
        row("empty scale", damaged("scale=\"1\"", "scale=\"\""), corrupt);
        row("line without line element", damaged("<line", "<lime"), corrupt);
        row("pen without colour", damaged("<color", "<colour"), corrupt);
        row("stroke without path",
            canvasFile("1", graphic("65538", anchors, path("")).replace("<path", "<pith")),
            corrupt);
        row("not well formed inside", canvasFile("2", line + "<graphic type=\"6\" <<"), corrupt, 1);
        row("mismatched end tag", damaged("</graphic>", "</graphix>"), corrupt, 1);
        row("unknown entity", canvasFile("1", lineGraphic("&lol;")), corrupt);
        row("attribute twice", damaged("z=\"0\"", "z=\"0\" z=\"1\""), corrupt);
        row("unquoted attribute", damaged("z=\"0\"", "z=0"), corrupt);
        // Extra children of an item are skipped whole; elsewhere, or never closed, they are
        // refused, and neither takes a recursion per level.
        const QByteArray open = QByteArray("<n>").repeated(200000);
        const QByteArray close = QByteArray("</n>").repeated(200000);
        const qsizetype end = line.indexOf("</graphic>");
        row("deep nesting in an item", canvasFile("1", QByteArray(line).insert(end, open + close)),
            QString(), 1);
        row("deep nesting for an item", canvasFile("1", open + close), corrupt);
        row("deep nesting never closed", canvasFile("1", QByteArray(line).insert(end, open)),
            corrupt, 1);
        // Numbers are read as XML tools read them; one that does not parse reads as 0.
        const std::pair<const char *, qreal> numbers[]
                = {{"nan", 0},         {"1e999", 0},   {"3 4", 0}, {"&#49;&#x32;.5", 12.5},
                   {"&#10;+7&#9;", 7}, {"-2.5e1", -25}};
        for (const auto &[text, value] : numbers) {
            row(qPrintable(QStringLiteral("x1 %1").arg(QLatin1String(text))),
                canvasFile("1", lineGraphic(text)), QString(), 1, value);
        }
        // XML the writer never produces but other tools may: accepted where well formed.
        row("comments, instructions, CDATA, single quotes",
            canvasFile("1",
                       "<!-- note --><?tool x?><![CDATA[<graphic>]]>"
                               + QByteArray(line).replace("x=\"0\"", "x='0'")),
            QString(), 1);
    }

    void hostileFilesFailCleanly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(int, itemsLeft);
        QFETCH(qreal, x1);
        CanvasScene scene;
        QCOMPARE(load(bytes, scene), error);
        QCOMPARE(scene.items().size(), itemsLeft);
        if (auto *line = dynamic_cast<LineGraphic *>(scene.items(Qt::AscendingOrder).value(0)))
            QCOMPARE(line->line().x1(), x1);
    }
};

VELORA_TEST_MAIN(TestCanvasFile)
#include "tst_canvasfile.moc"
