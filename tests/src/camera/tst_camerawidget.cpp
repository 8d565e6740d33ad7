#include <CameraThrottleController.h>
#include <CameraWidget.h>
#include <CameraWidgetDelegate.h>
#include <DocCamTypes.h>
#include <UnusableCameras.h>
#include <VeloraTest.h>

#include <QBackingStore>
#include <QPaintEvent>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

/// Paces a camera the way the controller does: the next frame waits for a paint.
class PacingThrottle : public CameraThrottleController
{
public:
    void framePainted(CameraWidget *view) override
    {
        const std::lock_guard lock(mutex);
        // The camera may send the next frame only once this one is really in the window.
        const QImage shown = view->frame().getQImage();
        QBackingStore *backing = view->backingStore();
        const auto *store = backing ? dynamic_cast<QImage *>(backing->paintDevice()) : nullptr;
        if (!shown.isNull() && store)
            paintedBeforeDrawing = paintedBeforeDrawing
                    || store->pixel(view->pictureRect().center()) != shown.pixel(0, 0);
        offGuiThread = offGuiThread || QThread::currentThread() != qApp->thread();
        lastSequence = view->frame().sequence();
        paintedSequences.append(lastSequence);
        painted.notify_all();
    }
    bool waitForSequence(qint64 sequence)
    {
        std::unique_lock lock(mutex);
        return painted.wait_for(lock, std::chrono::seconds(10),
                                [&] { return lastSequence >= sequence; });
    }

    std::mutex mutex;
    std::condition_variable painted;
    qint64 lastSequence = 0;
    QList<qint64> paintedSequences;
    bool paintedBeforeDrawing = false;
    bool offGuiThread = false;
};

class CountingDelegate : public CameraWidgetDelegate
{
public:
    void pictureStarted(CameraWidget *view) override
    {
        ++starts;
        onGuiThread = QThread::currentThread() == qApp->thread();
        firstSequence = view->frame().sequence();
    }
    int starts = 0;
    bool onGuiThread = false;
    qint64 firstSequence = -1;
};

/// What the view really asked Qt to repaint, seen from outside.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(QWidget *view) { view->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }
    void clear()
    {
        paints = 0;
        painted = QRegion();
    }
    qsizetype paints = 0;
    QRegion painted;
};

CameraImage solidFrame(QSize size, qint64 sequence = 0, QColor colour = Qt::red)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return CameraImage(image, sequence);
}

/// The height of the status text's ink, drawn by the view alone without its children.
int statusInkHeight(CameraWidget &view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    // The gradient stays lighter than 215 grey in the middle half; the text is 75 % grey.
    QList<int> inked;
    for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qRed(pixel) < 215; }))
            inked.append(y);
    }
    return inked.isEmpty() ? 0 : inked.last() - inked.first() + 1;
}

} // namespace

class TestCameraWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameShapeRepaintsThePictureOnlyAndNewShapeOrErrorEverything()
    {
        CameraWidget view(nullptr);
        view.resize(800, 400);
        view.oneFrameFetched(solidFrame({1280, 960}));
        PaintRecorder recorder(&view);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect fourByThree(133, 0, 533, 400);
        QTRY_COMPARE(view.pictureRect(), fourByThree);
        QTRY_VERIFY(recorder.paints > 0);

        recorder.clear();
        view.oneFrameFetched(solidFrame({1600, 1200}));
        QTRY_VERIFY(recorder.paints > 0);
        QCOMPARE(view.pictureRect(), fourByThree);
        QCOMPARE(recorder.painted, QRegion(fourByThree));

        recorder.clear();
        view.oneFrameFetched(solidFrame({1280, 720}));
        QTRY_VERIFY(recorder.paints > 0);
        QCOMPARE(view.pictureRect(), QRect(44, 0, 711, 400));
        QCOMPARE(recorder.painted, QRegion(view.rect()));

        // An error blanks the picture for the status text, and repaints the bands beside it too.
        view.setStatusText(QStringLiteral("Camera in use"));
        view.frameError(DocCam::ErrorDevice);
        QVERIFY(view.frame().isNull());
        QCOMPARE(view.statusText(), QStringLiteral("Camera in use"));
        view.oneFrameFetched(solidFrame({1280, 720}));
        QCOMPARE(view.pictureRect(), QRect(44, 0, 711, 400));
        recorder.clear();
        QTRY_VERIFY(recorder.paints > 0);
        recorder.clear();
        std::thread([&] { view.frameError(DocCam::ErrorFrame); }).join();
        QTRY_COMPARE(view.statusText(), QStringLiteral("Camera not connected"));
        QVERIFY(view.frame().isNull());
        QTRY_COMPARE(recorder.painted, QRegion(view.rect()));

        // A camera that is there but refused is named instead, as soon as discovery (on its own
        // thread) finds it.
        const QString refused = QStringLiteral("Camera found but not allowed: /dev/video7");
        recorder.clear();
        std::thread([&] {
            UnusableCameras::instance()->note(QStringLiteral("/dev/video7"), refused);
        }).join();
        QTRY_VERIFY(recorder.paints > 0);
        QCOMPARE(view.statusText(), refused);
        UnusableCameras::instance()->forget(QStringLiteral("/dev/video7"));

        // Without a picture the status text grows with the view; while connecting, the bar
        // speaks instead.
        view.resize(640, 480);
        QCOMPARE(view.statusFontPointSize(), 40);
        const int smallInk = statusInkHeight(view);
        view.resize(1280, 720); // by its width alone
        QCOMPARE(view.statusFontPointSize(), 80);
        const int largeInk = statusInkHeight(view);
        QVERIFY2(smallInk > 20 && qAbs(largeInk - 2 * smallInk) <= 4,
                 qPrintable(QStringLiteral("ink %1 and %2").arg(smallInk).arg(largeInk)));
        view.setWaiting(true);
        QCOMPARE(statusInkHeight(view), 0);

        // The first picture after none keeps its shape rather than filling the view that was
        // laid out without one.
        view.resize(400, 240);
        QTRY_COMPARE(view.pictureRect(), view.rect());
        view.oneFrameFetched(solidFrame({1280, 720}));
        QCOMPARE(view.pictureRect(), QRect(0, 7, 400, 225));
    }

    void pictureAtItsShownSizeIsCopiedAndTheBandsFilled_data()
    {
        QTest::addColumn<int>("ratio");
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<QRect>("pictureRect");
        // The picture's place is a pixel wider than the frame, as rounding makes it.
        QTest::newRow("a pixel off") << 1 << QSize(201, 130) << QRect(0, 15, 201, 100);
        QTest::newRow("device pixels") << 2 << QSize(100, 66) << QRect(0, 8, 100, 50);
    }

    void pictureAtItsShownSizeIsCopiedAndTheBandsFilled()
    {
        QFETCH(int, ratio);
        QFETCH(QSize, viewSize);
        QFETCH(QRect, pictureRect);
        // A one-pixel checkerboard: any resampling turns part of it grey.
        QImage board(200, 100, QImage::Format_RGB32);
        for (int y = 0; y < board.height(); ++y) {
            for (int x = 0; x < board.width(); ++x)
                board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
        CameraWidget view(nullptr);
        QPalette palette = view.palette();
        palette.setColor(QPalette::Window, Qt::blue);
        view.setPalette(palette);
        view.resize(viewSize);
        view.oneFrameFetched(CameraImage(board));
        QCOMPARE(view.pictureRect(), pictureRect);
        QImage shown(view.size() * ratio, QImage::Format_RGB32);
        shown.setDevicePixelRatio(ratio);
        shown.fill(Qt::red);
        view.render(&shown, QPoint(), QRegion(), {});
        QImage picture = shown.copy(QRect(pictureRect.topLeft() * ratio, board.size()));
        picture.setDevicePixelRatio(1);
        QCOMPARE(picture, board);
        // The bands, and any column the frame leaves, show the inherited background.
        QCOMPARE(shown.pixelColor(100, 5), QColor(Qt::blue));
        QCOMPARE(shown.pixelColor(100, shown.height() - 5), QColor(Qt::blue));
        for (int x = board.width(); x < shown.width(); ++x)
            QCOMPARE(shown.pixelColor(x, shown.height() / 2), QColor(Qt::blue));
    }

    void framesFromTheCaptureThreadArePacedByPaints()
    {
        PacingThrottle throttle;
        CountingDelegate delegate;
        CameraWidget view(&throttle);
        view.setDelegate(&delegate);
        view.resize(320, 240);
        PaintRecorder recorder(&view);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        constexpr int frames = 20;
        std::atomic<bool> paced{true};
        std::thread camera([&] {
            for (int sequence = 1; sequence <= frames && paced; ++sequence) {
                view.oneFrameFetched(
                        solidFrame({320, 240}, sequence, sequence % 2 ? Qt::red : Qt::blue));
                paced = throttle.waitForSequence(sequence);
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(view.frame().sequence() == frames || !paced, 20000);
        camera.join();
        QVERIFY(paced);

        QVERIFY(delegate.onGuiThread);
        QTRY_COMPARE(throttle.lastSequence, frames);
        const std::lock_guard lock(throttle.mutex);
        QCOMPARE(throttle.paintedSequences.size(), recorder.paints);
        QVERIFY(!throttle.paintedBeforeDrawing);
        QVERIFY(!throttle.offGuiThread);
        for (int sequence = 1; sequence <= frames; ++sequence)
            QVERIFY2(throttle.paintedSequences.contains(sequence),
                     qPrintable(QString::number(sequence)));
    }

    void pictureStartsOncePerStartAndReachesTheForwardTarget()
    {
        CountingDelegate delegate;
        CameraWidget view(nullptr);
        view.setDelegate(&delegate);
        view.setWaiting(true);
        QVERIFY(view.isInitBarShown());
        view.oneFrameFetched(CameraImage());
        QCOMPARE(delegate.starts, 0);
        view.oneFrameFetched(solidFrame({640, 480}, 1));
        QVERIFY(!view.isInitBarShown());
        QVERIFY(!view.isWaiting());
        view.oneFrameFetched(solidFrame({640, 480}, 2));
        QCOMPARE(delegate.starts, 1);
        // The init bar never shows over a picture.
        view.setWaiting(true);
        QVERIFY(!view.isInitBarShown());
        view.oneFrameFetched(CameraImage());
        view.oneFrameFetched(solidFrame({640, 480}, 3));
        QCOMPARE(delegate.starts, 2);
        QCOMPARE(delegate.firstSequence, 3);

        // A frame still queued does not overwrite a later blank; later frames show again.
        std::thread([&] { view.oneFrameFetched(solidFrame({640, 480}, 7)); }).join();
        view.oneFrameFetched(CameraImage());
        QCoreApplication::processEvents();
        QVERIFY(view.frame().isNull());
        std::thread([&] { view.oneFrameFetched(solidFrame({640, 480}, 8)); }).join();
        QTRY_COMPARE(view.frame().sequence(), 8);

        auto *second = new CameraWidget(nullptr);
        CountingDelegate secondDelegate;
        second->setDelegate(&secondDelegate);
        view.setForwardTarget(second);
        // Two views forwarding to each other must not bounce a frame back and forth.
        second->setForwardTarget(&view);

        const CameraImage frame = solidFrame({640, 480}, 3);
        std::thread([&] { view.oneFrameFetched(frame); }).join();
        QTRY_COMPARE(second->frame().sequence(), 3);
        QCOMPARE(second->frame().getQImage().constBits(), frame.getQImage().constBits());
        QCOMPARE(secondDelegate.starts, 1);

        second->setStatusText(QStringLiteral("Camera in use"));
        view.frameError(DocCam::ErrorFrame);
        QVERIFY(second->frame().isNull());
        QCOMPARE(second->statusText(), QStringLiteral("Camera not connected"));

        delete second;
        view.oneFrameFetched(frame);
        QCOMPARE(view.frame().sequence(), 3);
    }
};

VELORA_TEST_MAIN(TestCameraWidget)
#include "tst_camerawidget.moc"
