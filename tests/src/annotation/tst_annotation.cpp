#include "CanvasBoard.h"

#include <AnnotationImpl.h>
#include <FreehandGraphic.h>
#include <SharedComponent.h>
#include <VeloraTest.h>

#include <QImage>
#include <QWidget>

#include <memory>

namespace {

/// The tool bar's side of the undo buttons: remembers what it was last told.
class UndoButtons : public UpdateAnnoStateIntf
{
public:
    void enableUndoButton(bool enable) override { undo = enable; }
    void enableRedoButton(bool enable) override { redo = enable; }

    std::optional<bool> undo;
    std::optional<bool> redo;
};

/// A picture widget with a canvas laid over it, as the main window lays one over each view.
struct Covered
{
    explicit Covered(AnnotationIntf *annotation)
    {
        picture.setAutoFillBackground(true);
        QPalette palette = picture.palette();
        palette.setColor(QPalette::Window, Qt::darkBlue);
        picture.setPalette(palette);
        picture.resize(1024, 768);
        view = annotation->createCanvas(&picture, QSize(1024, 768));
        picture.show();
    }

    QList<QGraphicsItem *> items() const { return view->scene()->items(Qt::AscendingOrder); }

    QWidget picture;
    CanvasView *view = nullptr;
};

const QList<QPointF> Stroke = {QPointF(100, 200), QPointF(300, 200), QPointF(500, 200)};

} // namespace

class TestAnnotation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { annotation = std::make_unique<ComponentRef<AnnotationIntf>>(); }
    void cleanup() { annotation.reset(); }

    void aCanvasCoversItsWidgetLetsThePictureShowThroughAndGoesWithIt()
    {
        Covered covered(annotation->get());
        QVERIFY(covered.view);
        QCOMPARE(covered.view->parentWidget(), &covered.picture);
        QCOMPARE(covered.view->geometry(), covered.picture.rect());
        covered.picture.resize(800, 500);
        QCOMPARE(covered.view->geometry(), QRect(0, 0, 800, 500));

        covered.picture.resize(1024, 768);
        (*annotation)->selectTool(AnnotationIntf::FreehandTool);
        Pointer(covered.view).drag(Stroke);
        const QImage shown = covered.picture.grab().toImage();
        QCOMPARE(shown.pixelColor(covered.view->mapFromScene(QPointF(300, 600))),
                 QColor(Qt::darkBlue));
        QCOMPARE(shown.pixelColor(covered.view->mapFromScene(QPointF(300, 200))), QColor(Qt::red));

        // A canvas goes with its widget, or when destroyed; the next one becomes active.
        Covered second(annotation->get());
        auto third = std::make_unique<Covered>(annotation->get());
        QCOMPARE((*annotation)->activeCanvas(), covered.view);
        (*annotation)->destroyCanvas(covered.view);
        QVERIFY(covered.picture.findChildren<CanvasView *>().isEmpty());
        QCOMPARE((*annotation)->activeCanvas(), second.view);
        (*annotation)->destroyCanvas(second.view);
        third.reset();
        QCOMPARE((*annotation)->activeCanvas(), nullptr);
    }

    void editsPensAndUndoStateFollowTheActiveCanvas()
    {
        Covered first(annotation->get());
        Covered second(annotation->get());
        UndoButtons buttons;
        (*annotation)->setUpdateAnnoState(&buttons);
        QCOMPARE(buttons.undo, false);
        QCOMPARE((*annotation)->activeCanvas(), first.view);
        QVERIFY((*annotation)->selectTool(AnnotationIntf::FreehandTool));
        (*annotation)->setPenColor(AnnotationIntf::FreehandPen, Qt::blue);
        (*annotation)->setPenWidth(AnnotationIntf::FreehandPen, 9.0);
        (*annotation)->setPenColor(AnnotationIntf::LinePen, Qt::magenta);
        Pointer(first.view).drag(Stroke);
        QCOMPARE(buttons.undo, true);
        Pointer(second.view).drag(Stroke);
        // The pen reaches every canvas.
        for (const Covered *covered : {&first, &second}) {
            QCOMPARE(covered->items().size(), 1);
            auto *stroke = static_cast<FreehandGraphic *>(covered->items().first());
            QCOMPARE(stroke->pen().color(), QColor(Qt::blue));
            QCOMPARE(stroke->pen().widthF(), 9.0);
        }

        // The active canvas renders scaled onto transparency; a null image is refused.
        QImage image(512, 384, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QCOMPARE((*annotation)->renderToImage(image), Result::Success);
        QCOMPARE(image.pixelColor(150, 100), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(150, 300).alpha(), 0);
        QImage none;
        QCOMPARE((*annotation)->renderToImage(none), Result::Failure);

        (*annotation)->setActiveCanvas(second.view);
        (*annotation)->selectTool(AnnotationIntf::LineTool);
        Pointer(second.view).drag(Stroke);
        QCOMPARE(BaseGraphic::fromItem(second.items().last())->pen().color(), QColor(Qt::magenta));
        (*annotation)->undo();
        (*annotation)->undo();
        QCOMPARE(first.items().size(), 1);
        QCOMPARE(second.items().size(), 0);
        QCOMPARE(buttons.redo, true);
        (*annotation)->setActiveCanvas(first.view);
        QCOMPARE(buttons.redo, false);
        (*annotation)->clear(false);
        QCOMPARE(first.items().size(), 0);
        (*annotation)->undo();
        QCOMPARE(first.items().size(), 1);
        (*annotation)->setUpdateAnnoState(nullptr);
    }

private:
    std::unique_ptr<ComponentRef<AnnotationIntf>> annotation;
};

VELORA_TEST_MAIN(TestAnnotation)
#include "tst_annotation.moc"
