#include "CanvasBoard.h"

#include <FreehandGraphic.h>
#include <HiliterGraphic.h>
#include <ImageGraphic.h>
#include <LineGraphic.h>
#include <MessageBox.h>
#include <ShapeGraphic.h>
#include <TextGraphic.h>
#include <VeloraTest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QUndoStack>

#include <algorithm>

namespace {

QList<QPointF> horizontal(qreal y)
{
    return {QPointF(100, y), QPointF(300, y), QPointF(500, y), QPointF(700, y)};
}

template<typename Graphic> int countOf(const QList<QGraphicsItem *> &items)
{
    return int(std::count_if(items.begin(), items.end(),
                             [](QGraphicsItem *item) { return item->type() == Graphic::Type; }));
}

/// A small picture in `dir`; empty when it cannot be written.
QString writePicture(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("page.png"));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image.save(path) ? path : QString();
}

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestCanvasEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { MessageBox::setAnswerer({}); }

    void gesturesThatDrawNothingLeaveNothing_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("rightButton");
        QTest::addColumn<int>("items");
        for (int tool :
             {AnnotationIntf::FreehandTool, AnnotationIntf::LineTool, AnnotationIntf::ShapeTool,
              AnnotationIntf::HiliterTool, AnnotationIntf::TextTool})
            QTest::addRow("right drag, tool %d", tool) << tool << true << 0;
        // A click draws a dot with a pen, but no line or shape anybody could see.
        QTest::newRow("freehand click") << int(AnnotationIntf::FreehandTool) << false << 1;
        QTest::newRow("line click") << int(AnnotationIntf::LineTool) << false << 0;
        QTest::newRow("shape click") << int(AnnotationIntf::ShapeTool) << false << 0;
    }
    void gesturesThatDrawNothingLeaveNothing()
    {
        QFETCH(int, tool);
        QFETCH(bool, rightButton);
        QFETCH(int, items);
        CanvasBoard board;
        board.editor.setTool(AnnotationIntf::Tool(tool));
        const qreal zMax = board.canvas.zMax();
        board.pointer.drag(rightButton ? horizontal(200) : QList<QPointF>(2, QPointF(200, 200)),
                           rightButton ? Qt::RightButton : Qt::LeftButton);
        QCOMPARE(board.items().size(), items);
        QCOMPARE(board.editor.undoStack()->count(), items);
        QCOMPARE(board.view.isDirty(), items > 0);
        QCOMPARE(board.canvas.zMax(), zMax + items);
        // The next gesture works as usual.
        board.pointer.drag({QPointF(300, 300), QPointF(350, 330)});
        QCOMPARE(board.items().size(), items + 1);
    }

    void aStrokeIsOneItemAndOneUndoStepAndHoldsItsToolAndTheEraserTakesTheTopmostFirst()
    {
        CanvasBoard board;
        board.editor.setPen(QPen(Qt::blue, 6.0));
        board.editor.toolFreehand();
        const QCursor pencil = board.view.viewport()->cursor();
        QVERIFY(pencil.shape() == Qt::BitmapCursor && !pencil.pixmap().isNull());
        QCOMPARE(pencil.hotSpot(), QPoint(6, 30));
        const QList<QPointF> points = horizontal(200);
        board.pointer.press(points[0]);
        board.pointer.move(points[1]);
        // No other tool while the stroke is drawn.
        QVERIFY(!board.editor.setTool(AnnotationIntf::LineTool));
        board.editor.toolEraser();
        QCOMPARE(board.editor.currentToolKind(), AnnotationIntf::FreehandTool);
        board.pointer.move(points[2]);
        board.pointer.move(points[3]);
        board.pointer.release(points[3]);
        QVERIFY(board.editor.setTool(AnnotationIntf::LineTool));
        QCOMPARE(board.view.viewport()->cursor().shape(), Qt::CrossCursor);

        QCOMPARE(board.items().size(), 1);
        auto *stroke = static_cast<FreehandGraphic *>(board.items().first());
        QCOMPARE(stroke->type(), int(FreehandGraphic::Type));
        QCOMPARE(stroke->pen().color(), QColor(Qt::blue));
        QVERIFY(stroke->sceneBoundingRect().contains(QRectF(110, 198, 580, 4)));
        QVERIFY(!stroke->isCreating());
        QVERIFY(board.view.isDirty());
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Freehand"));
        board.editor.editUndo();
        QVERIFY(board.items().isEmpty());
        board.editor.editRedo();
        QCOMPARE(board.items(), QList<QGraphicsItem *>{stroke});

        // The eraser takes one item per event, the topmost first.
        board.editor.toolFreehand();
        for (int i = 0; i < 2; ++i)
            board.pointer.drag(points);
        const QList<QGraphicsItem *> strokes = board.items();
        QCOMPARE(strokes.size(), 3);
        board.editor.toolEraser();
        QCOMPARE(board.view.viewport()->cursor().hotSpot(), QPoint(9, 27));
        board.pointer.press(QPointF(400, 200));
        QCOMPARE(board.items(), strokes.mid(0, 2));
        board.pointer.move(QPointF(402, 200));
        QCOMPARE(board.items(), strokes.mid(0, 1));
        board.pointer.move(QPointF(404, 200));
        QVERIFY(board.items().isEmpty());
        board.pointer.release(QPointF(404, 200));
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Eraser"));
        board.editor.editUndo();
        QCOMPARE(board.items(), strokes);

        // Clearing the view without undo forgets the items and the view's turn and zoom.
        board.view.setViewTransform(30, 2.0, true);
        board.editor.editClearView(&board.view, false, true);
        QVERIFY(board.items().isEmpty() && !board.view.isDirty());
        QCOMPARE(board.view.rotation(), 0.0);
        QCOMPARE(board.view.scaleFactor(), 1.0);
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Freehand"));
    }

    void aTextBoxIsOneUndoStepOnceEditingEndsAndGoesWhenLeftEmpty()
    {
        CanvasBoard board;
        QApplication::setActiveWindow(&board.view);
        QVERIFY(QTest::qWaitForWindowActive(&board.view));
        board.editor.setPen(QPen(Qt::darkGreen));
        board.editor.toolText();
        board.pointer.drag({QPointF(100, 100)});
        QTest::keyClicks(board.view.viewport(), QStringLiteral("Hello"));
        QCOMPARE(board.editor.undoStack()->count(), 0);
        board.pointer.drag({QPointF(600, 500)}); // ends the editing, creates nothing
        flushDeferredDeletes();
        QCOMPARE(board.items().size(), 1);
        auto *text = static_cast<TextGraphic *>(board.items().first());
        QCOMPARE(text->toPlainText(), QStringLiteral("Hello"));
        QCOMPARE(text->defaultTextColor(), QColor(Qt::darkGreen));
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Text"));

        // A box left empty leaves neither an item nor an undo step.
        board.pointer.drag({QPointF(300, 300)});
        QCOMPARE(countOf<TextGraphic>(board.items()), 2);
        board.pointer.drag({QPointF(600, 500)});
        flushDeferredDeletes();
        QCOMPARE(board.items(), QList<QGraphicsItem *>{text});
        QCOMPARE(board.editor.undoStack()->count(), 1);
        board.editor.editUndo();
        QVERIFY(board.items().isEmpty());
    }

    void insertedPicturesCascadeAndStopAtAnUnreadableOne()
    {
        QTemporaryDir dir;
        const QString picture = writePicture(dir);
        QVERIFY(!picture.isEmpty());
        CanvasBoard board;
        QString folder;
        board.editor.insertImageFiles(QStringList(21, picture), folder);
        QCOMPARE(folder, dir.path());
        const QList<QGraphicsItem *> pictures = board.items();
        QCOMPARE(pictures.size(), 21);
        QCOMPARE(pictures[1]->pos(), QPointF(20, 20));
        QCOMPARE(pictures[19]->pos(), QPointF(380, 380));
        QCOMPARE(pictures[20]->pos(), QPointF(0, 0));
        QVERIFY(board.view.isDirty());
        QCOMPARE(board.editor.undoStack()->count(), 1);
        board.editor.editUndo();
        QVERIFY(board.items().isEmpty());

        const QString notes = dir.filePath(QStringLiteral("notes.png"));
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
        file.close();
        QList<MessageBox::Question> asked;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            asked.append(question);
            return QMessageBox::Ok;
        });
        board.editor.insertImageFiles({picture, notes, picture}, folder);
        QCOMPARE(board.items().size(), 1);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, QStringLiteral("The format is not supported."));
    }

    void editsSkipWhatTheyCannotChangeAndRecordOnlyChanges()
    {
        CanvasBoard board;
        board.editor.toolLine();
        board.pointer.drag({QPointF(100, 100), QPointF(300, 100)});
        board.editor.toolHiliter();
        board.pointer.drag(horizontal(300));
        board.editor.editSelectAll();
        auto *line = static_cast<LineGraphic *>(board.items()[0]);
        QGraphicsItem *hiliter = board.items()[1];

        // Highlighter strokes keep their opacity.
        board.editor.editSetOpacity(0.4);
        QCOMPARE(line->opacity(), 0.4);
        QCOMPARE(hiliter->opacity(), 1.0);
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Opacity"));
        board.editor.editScale(2.0);
        QCOMPARE(line->scale(), 2.0);
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Scale"));
        // The same values again change nothing and leave no step.
        const int steps = board.editor.undoStack()->count();
        board.editor.editScale(2.0);
        board.editor.editRotate(line->degree());
        board.editor.editSetOpacity(0.4);
        QCOMPARE(board.editor.undoStack()->count(), steps);
    }

    void aRubberBandSelectionMovesAndGoesInOneStepEach()
    {
        CanvasBoard board;
        board.editor.toolFreehand();
        for (qreal y : {200, 300, 600})
            board.pointer.drag(horizontal(y));
        const QList<QGraphicsItem *> strokes = board.items();
        board.editor.toolSelect();
        board.pointer.drag({QPointF(50, 150), QPointF(400, 250), QPointF(800, 350)});
        QCOMPARE(board.canvas.selectedItems().size(), 2);

        board.pointer.drag({QPointF(300, 200), QPointF(320, 220), QPointF(350, 260)});
        QCOMPARE(strokes[0]->pos(), QPointF(50, 60));
        QCOMPARE(strokes[1]->pos(), QPointF(50, 60));
        QCOMPARE(strokes[2]->pos(), QPointF(0, 0));
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Move"));
        board.editor.editDelete();
        QCOMPARE(board.items(), QList<QGraphicsItem *>{strokes[2]});
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Delete"));
        board.editor.editUndo();
        QCOMPARE(board.items(), strokes);
        board.editor.editUndo();
        QCOMPARE(strokes[0]->pos(), QPointF(0, 0));
        QCOMPARE(strokes[1]->pos(), QPointF(0, 0));
    }

    void clonesLandOffsetOnTopAndTheStackingOrderChangesByNeighbours()
    {
        CanvasBoard board;
        board.editor.setShapeKind(2);
        board.editor.toolShape();
        board.pointer.drag({QPointF(100, 100), QPointF(200, 200)});
        board.editor.toolLine();
        board.pointer.drag({QPointF(400, 100), QPointF(500, 100)});
        auto *shape = static_cast<ShapeGraphic *>(board.items()[0]);
        QGraphicsItem *line = board.items()[1];
        board.editor.toolSelect();
        shape->setSelected(true);
        board.editor.editClone();
        const QList<QGraphicsItem *> items = board.items();
        QCOMPARE(items.size(), 3);
        auto *copy = static_cast<ShapeGraphic *>(items.last());
        QCOMPARE(copy->type(), int(ShapeGraphic::Type));
        QCOMPARE(copy->shapeType(), 2u);
        QCOMPARE(copy->pos(), shape->pos() + QPointF(20, 20));
        QCOMPARE(copy->path(), shape->path());

        board.canvas.clearSelection();
        shape->setSelected(true);
        board.editor.editBringForward();
        QCOMPARE(board.items(), (QList<QGraphicsItem *>{line, shape, copy}));
        board.editor.editBringToFront();
        QCOMPARE(board.items(), (QList<QGraphicsItem *>{line, copy, shape}));
        board.editor.editSendBackward();
        QCOMPARE(board.items(), (QList<QGraphicsItem *>{line, shape, copy}));
        board.editor.editUndo();
        board.editor.editUndo();
        QCOMPARE(board.items(), (QList<QGraphicsItem *>{line, shape, copy}));
        QCOMPARE(board.editor.undoStack()->undoText(), QStringLiteral("Undo Bring Forward"));
        board.editor.editUndo();
        board.editor.editUndo();
        QCOMPARE(board.items(), (QList<QGraphicsItem *>{shape, line}));
    }

    void viewRotationSnapsToTheSides_data()
    {
        QTest::addColumn<qreal>("asked");
        QTest::addColumn<qreal>("shown");
        QTest::newRow("near 90") << 88.0 << 90.0;
        QTest::newRow("near 270") << 272.5 << 270.0;
        QTest::newRow("negative") << -92.0 << 270.0;
        QTest::newRow("elsewhere") << 45.0 << 45.0;
    }
    void viewRotationSnapsToTheSides()
    {
        QFETCH(qreal, asked);
        QFETCH(qreal, shown);
        QCOMPARE(CanvasView::snappedDegree(asked), shown);
    }
};

VELORA_TEST_MAIN(TestCanvasEditor)
#include "tst_canvaseditor.moc"
