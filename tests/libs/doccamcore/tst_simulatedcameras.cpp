#include <CameraImage.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <DocCamManagerEventListener.h>
#include <DocCamParametersListener.h>
#include <FrameProcessor.h>
#include <KivoDocCam.h>
#include <QImageFrameGrabber.h>
#include <QImageHQImageGrabber.h>
#include <SimulatedCameras.h>
#include <VeloraTest.h>

#include <QElapsedTimer>
#include <QScopeGuard>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace {

/// Waits on a condition that other threads make true, checking it under the lock.
template<typename Predicate>
bool waitFor(std::mutex &mutex, std::condition_variable &changed, Predicate predicate,
             int timeoutMs = 5000)
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), predicate);
}

struct EventRecorder : DocCamManagerEventListener
{
    std::mutex mutex;
    std::condition_variable changed;
    QList<QPair<DocCam::ManagerEvent, QString>> events;

    void docCamManagerEvent(DocCam::ManagerEvent event, KivoDocCam *camera) override
    {
        std::lock_guard lock(mutex);
        events.append({event, camera ? camera->modelName() : QString()});
        changed.notify_all();
    }
    QList<DocCam::ManagerEvent> cameraEvents()
    {
        std::lock_guard lock(mutex);
        QList<DocCam::ManagerEvent> result;
        for (const auto &event : events) {
            if (event.first == DocCam::ManagerEvent::CameraAdded
                || event.first == DocCam::ManagerEvent::CameraRemoved)
                result.append(event.first);
        }
        return result;
    }
};

/// Stands where a view would: takes frames and reports each painted at once.
struct FrameSink : QImageFrameGrabber, QImageHQImageGrabber
{
    std::mutex mutex;
    std::condition_variable changed;
    DocCamControl *control = nullptr;
    QList<CameraImage> frames;
    QList<int> errors;
    QList<QImage> stills;

    void oneFrameFetched(const CameraImage &frame) override
    {
        std::lock_guard lock(mutex);
        frames.append(frame);
        changed.notify_all();
    }
    void frameError(int code) override
    {
        std::lock_guard lock(mutex);
        errors.append(code);
        changed.notify_all();
    }
    void hqImageGrabbed(const QImage &image) override
    {
        std::lock_guard lock(mutex);
        stills.append(image);
        changed.notify_all();
    }
    /// Paints what arrived and waits for the next frame.
    CameraImage nextFrame()
    {
        qsizetype before = 0;
        {
            std::lock_guard lock(mutex);
            before = frames.size();
        }
        control->framePainted();
        if (!waitFor(mutex, changed, [&] { return frames.size() > before; }))
            return {};
        std::lock_guard lock(mutex);
        return frames.last();
    }
};

struct ParameterRecorder : DocCamParametersListener
{
    std::mutex mutex;
    std::condition_variable changed;
    QStringList calls;

    void record(const QString &call)
    {
        std::lock_guard lock(mutex);
        calls.append(call);
        changed.notify_all();
    }
    bool waitForCall(const QString &call)
    {
        return waitFor(mutex, changed, [&] { return calls.contains(call); });
    }
    void brightnessChanged(KivoDocCam *, int v) override
    {
        record(QStringLiteral("brightness %1").arg(v));
    }
    void contrastChanged(KivoDocCam *, int v) override
    {
        record(QStringLiteral("contrast %1").arg(v));
    }
    void zoomRatioChanged(KivoDocCam *, double v) override
    {
        record(QStringLiteral("zoom %1").arg(v));
    }
    void rotationChanged(KivoDocCam *, unsigned v) override
    {
        record(QStringLiteral("rotation %1").arg(v));
    }
    void focusChanged(KivoDocCam *, int v) override { record(QStringLiteral("focus %1").arg(v)); }
    void freezeChanged(KivoDocCam *, bool v) override
    {
        record(QStringLiteral("freeze %1").arg(v));
    }
    void parameterTuningProcessEnded(KivoDocCam *) override
    {
        record(QStringLiteral("tuning ended"));
    }
};

/// A manager started with a recorder, given back at the end of the test.
struct ManagerFixture
{
    DocCamManager *manager = DocCamManager::getDocCamManager({});
    EventRecorder recorder;

    ManagerFixture()
    {
        manager->registerEventListener(&recorder);
        manager->start();
        manager->waitForIdle();
    }
    ~ManagerFixture()
    {
        manager->unregisterEventListener(&recorder);
        manager->release();
    }
    KivoDocCam *camera(const QString &model)
    {
        for (KivoDocCam *camera : manager->cameras()) {
            if (camera->modelName() == model)
                return camera;
        }
        return nullptr;
    }
};

SimulatedCameras::Setup documentCamera(const QString &model, QSize size = {640, 480})
{
    SimulatedCameras::Setup setup;
    setup.modelName = model;
    setup.size = size;
    setup.frameRate = 60;
    return setup;
}

/// A simulated camera plugged in for one test, unplugged at its end however the test ends.
struct Attached
{
    QString key;
    explicit Attached(const SimulatedCameras::Setup &setup)
        : key(SimulatedCameras::add(setup))
    { }
    ~Attached() { SimulatedCameras::remove(key); }
};

/// Sampled pixels that differ outside the moving marker and the clock, which change anyway.
int differingStillParts(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    const int h = x.height();
    const int w = x.width();
    const QRect marker(0, int(h * 0.83), w, int(h * 0.10));
    const QRect clock(w - int(h * 0.42), 0, int(h * 0.42), int(h * 0.12));
    int count = 0;
    for (int row = 0; row < h; row += 2) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int column = 0; column < w; column += 2) {
            if (marker.contains(column, row) || clock.contains(column, row))
                continue;
            count += p[column] != q[column];
        }
    }
    return count;
}

/// A stream opened and started on `camera`, stopped and released at the end.
struct Stream
{
    FrameSink sink;
    KivoDocCam *camera;
    int startResult = DocCam::ErrorInvalid;

    explicit Stream(KivoDocCam *camera)
        : camera(camera)
    {
        camera->addRef();
        DocCam::VideoFormat format;
        camera->getCurrentVideoFormat(format);
        if (camera->openStream(format, &sink, &sink.control) == DocCam::Ok)
            startResult = sink.control->start();
        camera->installHQImageGrabber(&sink);
    }
    ~Stream()
    {
        camera->removeHQImageGrabber(&sink);
        if (sink.control)
            sink.control->release();
        camera->release();
    }
};

} // namespace

class TestSimulatedCameras : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesTheEnvironmentList()
    {
        const auto setups = SimulatedCameras::parse(
                QStringLiteral("doccam:1920x1080@busy@tuning, webcam:1280x720,bogus,doccam:9x9"));
        QCOMPARE(setups.size(), 2);
        QVERIFY(setups.at(0).documentCamera);
        QCOMPARE(setups.at(0).size, QSize(1920, 1080));
        QVERIFY(setups.at(0).busy);
        QVERIFY(setups.at(0).tuningOnContrast);
        QVERIFY(!setups.at(1).documentCamera);
        QCOMPARE(setups.at(1).size, QSize(1280, 720));
    }

    void hotPlugReportsEventsInOrderPerKind()
    {
        ManagerFixture documents;
        DocCamManager *webcams = DocCamManager::getDocCamManager(
                {{QStringLiteral("kind"), QStringLiteral("webcam")}});
        EventRecorder webcamEvents;
        webcams->registerEventListener(&webcamEvents);
        // Whatever fails below, the manager must not call a recorder that no longer exists.
        auto releaseWebcams = qScopeGuard([&] {
            webcams->unregisterEventListener(&webcamEvents);
            webcams->release();
        });
        webcams->start();

        Attached first(documentCamera(QStringLiteral("First")));
        Attached second(documentCamera(QStringLiteral("Second")));
        SimulatedCameras::Setup webcam = documentCamera(QStringLiteral("Webcam"));
        webcam.documentCamera = false;
        Attached third(webcam);
        QVERIFY(SimulatedCameras::remove(first.key));
        QVERIFY(!SimulatedCameras::remove(first.key));
        documents.manager->waitForIdle();
        webcams->waitForIdle();

        using E = DocCam::ManagerEvent;
        QCOMPARE(documents.recorder.cameraEvents(),
                 (QList<E>{E::CameraAdded, E::CameraAdded, E::CameraRemoved}));
        QCOMPARE(documents.recorder.events.at(documents.recorder.events.size() - 1).second,
                 QStringLiteral("First"));
        QCOMPARE(documents.manager->cameras().size(), 1);
        QCOMPARE(documents.manager->cameras().at(0)->modelName(), QStringLiteral("Second"));
        QCOMPARE(webcamEvents.cameraEvents(), QList<E>{E::CameraAdded});
        QVERIFY(!webcams->cameras().at(0)->isDocumentCamera());

        // A listener that comes late still hears about the cameras already attached.
        EventRecorder late;
        documents.manager->registerEventListener(&late);
        auto unregisterLate
                = qScopeGuard([&] { documents.manager->unregisterEventListener(&late); });
        documents.manager->waitForIdle();
        QCOMPARE(late.cameraEvents(), QList<E>{E::CameraAdded});
    }

    void busyCameraRefusesToStart()
    {
        ManagerFixture fixture;
        SimulatedCameras::Setup setup = documentCamera(QStringLiteral("Busy"));
        setup.busy = true;
        Attached key(setup);
        fixture.manager->waitForIdle();
        {
            Stream stream(fixture.camera(QStringLiteral("Busy")));
            QCOMPARE(stream.startResult, DocCam::ErrorBusy);
            QCOMPARE(uint(stream.startResult), 0xE0000004u);
        }
        // Once the other application lets go, the camera starts.
        SimulatedCameras::setBusy(key.key, false);
        {
            Stream stream(fixture.camera(QStringLiteral("Busy")));
            QCOMPARE(stream.startResult, DocCam::Ok);
            QVERIFY(!stream.sink.nextFrame().isNull());
        }
    }

    void framesArePacedByPainting()
    {
        ManagerFixture fixture;
        Attached key(documentCamera(QStringLiteral("Paced")));
        fixture.manager->waitForIdle();
        Stream stream(fixture.camera(QStringLiteral("Paced")));
        QCOMPARE(stream.startResult, DocCam::Ok);

        QVERIFY(waitFor(stream.sink.mutex, stream.sink.changed,
                        [&] { return !stream.sink.frames.isEmpty(); }));
        // Nobody paints: at 60 frames per second, 200 ms would bring a dozen more.
        QTest::qSleep(200);
        {
            std::lock_guard lock(stream.sink.mutex);
            QCOMPARE(stream.sink.frames.size(), 1);
            QCOMPARE(stream.sink.frames.at(0).size(), QSize(640, 480));
            QCOMPARE(stream.sink.frames.at(0).sequence(), 1);
        }
        const CameraImage next = stream.sink.nextFrame();
        QCOMPARE(next.sequence(), 2);
        QVERIFY(next.capturedNs() > 0);
    }

    void grabberMayCallBackFromTheCaptureThread()
    {
        // A consumer with nothing to paint releases each frame at once, from the callback.
        struct Eager : QImageFrameGrabber
        {
            DocCamControl *control = nullptr;
            KivoDocCam *camera = nullptr;
            std::atomic<int> frames{0};
            void oneFrameFetched(const CameraImage &) override
            {
                camera->brightness();
                control->framePainted();
                ++frames;
            }
            void frameError(int) override { }
        } eager;
        ManagerFixture fixture;
        Attached key(documentCamera(QStringLiteral("Eager")));
        fixture.manager->waitForIdle();
        eager.camera = fixture.camera(QStringLiteral("Eager"));
        DocCam::VideoFormat format;
        eager.camera->getCurrentVideoFormat(format);
        QCOMPARE(eager.camera->openStream(format, &eager, &eager.control), DocCam::Ok);
        QCOMPARE(eager.control->start(), DocCam::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(eager.frames >= 5, 5000);
        eager.control->release();
    }

    void highQualityStillsAreLargerThanLiveFrames()
    {
        ManagerFixture fixture;
        Attached key(documentCamera(QStringLiteral("Stills")));
        fixture.manager->waitForIdle();
        Stream stream(fixture.camera(QStringLiteral("Stills")));
        QVERIFY(stream.camera->isHQImageSupported());
        QCOMPARE(stream.camera->requestHQImage(), DocCam::Ok);
        stream.sink.nextFrame();
        QVERIFY(waitFor(stream.sink.mutex, stream.sink.changed,
                        [&] { return !stream.sink.stills.isEmpty(); }));
        QCOMPARE(stream.sink.stills.at(0).size(), QSize(1280, 960));

        SimulatedCameras::Setup none = documentCamera(QStringLiteral("No stills"));
        none.noStills = true;
        Attached noneKey(none);
        fixture.manager->waitForIdle();
        KivoDocCam *camera = fixture.camera(QStringLiteral("No stills"));
        QVERIFY(!camera->isHQImageSupported());
        QCOMPARE(camera->requestHQImage(), DocCam::ErrorUnsupported);
    }

    void stillsKeptByTheConsumerStayAsTheyWere()
    {
        QList<QImage> kept;
        QList<QImage> asDelivered;
        {
            ManagerFixture fixture;
            Attached key(documentCamera(QStringLiteral("Kept stills")));
            fixture.manager->waitForIdle();
            Stream stream(fixture.camera(QStringLiteral("Kept stills")));
            QCOMPARE(stream.startResult, DocCam::Ok);
            // More stills than the camera keeps memory for, every one of them still held.
            for (int i = 0; i < 5; ++i) {
                QCOMPARE(stream.camera->requestHQImage(), DocCam::Ok);
                QVERIFY(waitFor(stream.sink.mutex, stream.sink.changed,
                                [&] { return stream.sink.stills.size() > i; }));
                {
                    std::lock_guard lock(stream.sink.mutex);
                    asDelivered.append(stream.sink.stills.last().copy());
                }
                // A frame between two stills moves the marker, so no two stills are alike.
                stream.sink.nextFrame();
            }
            std::lock_guard lock(stream.sink.mutex);
            kept = stream.sink.stills;
        }
        // The camera is gone; the pictures it gave out are not.
        QCOMPARE(kept.size(), asDelivered.size());
        for (int i = 0; i < kept.size(); ++i) {
            QCOMPARE(kept.at(i).size(), QSize(1280, 960));
            QVERIFY2(kept.at(i) == asDelivered.at(i), qPrintable(QString::number(i)));
            if (i > 0)
                QVERIFY(kept.at(i) != kept.at(i - 1));
        }
    }

    void stillsFollowTheControls()
    {
        ManagerFixture fixture;
        Attached key(documentCamera(QStringLiteral("Still controls")));
        fixture.manager->waitForIdle();
        Stream stream(fixture.camera(QStringLiteral("Still controls")));
        auto nextStill = [&stream] {
            qsizetype before = 0;
            {
                std::lock_guard lock(stream.sink.mutex);
                before = stream.sink.stills.size();
            }
            if (stream.camera->requestHQImage() != DocCam::Ok
                || !waitFor(stream.sink.mutex, stream.sink.changed,
                            [&] { return stream.sink.stills.size() > before; }))
                return QImage();
            std::lock_guard lock(stream.sink.mutex);
            return stream.sink.stills.last();
        };
        const QImage before = nextStill();
        // Live frames in between, as there always are.
        stream.sink.nextFrame();
        QCOMPARE(stream.sink.control->setBrightness(90), DocCam::Ok);
        stream.sink.nextFrame();
        const QImage after = nextStill();
        QVERIFY(!before.isNull() && !after.isNull());
        QVERIFY(differingStillParts(before, after) > 20);
    }

    void stillRequestsAddNoLiveFrames()
    {
        // Paints every frame at once, so frames come as fast as the camera's rate allows.
        struct Eager : QImageFrameGrabber, QImageHQImageGrabber
        {
            DocCamControl *control = nullptr;
            std::mutex mutex;
            std::condition_variable changed;
            int frames = 0;
            int stills = 0;
            void oneFrameFetched(const CameraImage &) override
            {
                {
                    std::lock_guard lock(mutex);
                    ++frames;
                    changed.notify_all();
                }
                control->framePainted();
            }
            void frameError(int) override { }
            void hqImageGrabbed(const QImage &) override
            {
                std::lock_guard lock(mutex);
                ++stills;
                changed.notify_all();
            }
        } eager;
        ManagerFixture fixture;
        SimulatedCameras::Setup setup = documentCamera(QStringLiteral("Still pacing"));
        setup.frameRate = 20;
        Attached key(setup);
        fixture.manager->waitForIdle();
        KivoDocCam *camera = fixture.camera(QStringLiteral("Still pacing"));
        DocCam::VideoFormat format;
        camera->getCurrentVideoFormat(format);
        QCOMPARE(camera->openStream(format, &eager, &eager.control), DocCam::Ok);
        camera->installHQImageGrabber(&eager);
        const auto close = qScopeGuard([&] {
            camera->removeHQImageGrabber(&eager);
            eager.control->release();
        });

        QElapsedTimer sinceStart;
        sinceStart.start();
        QCOMPARE(eager.control->start(), DocCam::Ok);
        // Stills asked for between frames cut the wait for the next frame short, again and
        // again; the frame stays due when it was.
        for (int i = 1; i <= 10; ++i) {
            QCOMPARE(camera->requestHQImage(), DocCam::Ok);
            QVERIFY(waitFor(eager.mutex, eager.changed, [&] { return eager.stills == i; }));
            int frames = 0;
            {
                std::lock_guard lock(eager.mutex);
                frames = eager.frames;
            }
            QVERIFY(waitFor(eager.mutex, eager.changed, [&] { return eager.frames > frames; }));
        }
        std::lock_guard lock(eager.mutex);
        const qint64 elapsedMs = sinceStart.elapsed();
        // The n-th frame is not due before n periods of 50 ms.
        QVERIFY2(eager.frames <= elapsedMs / 50 + 1,
                 qPrintable(QStringLiteral("%1 frames in %2 ms").arg(eager.frames).arg(elapsedMs)));
    }

    void everyControlChangesThePictureOrTheParameter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::function<int(DocCamControl *)>>("command");
        using F = std::function<int(DocCamControl *)>;
        QTest::newRow("brightness")
                << "brightness" << F([](auto *c) { return c->setBrightness(90); });
        QTest::newRow("contrast") << "contrast" << F([](auto *c) { return c->setContrast(5); });
        QTest::newRow("brightness up")
                << "brightness" << F([](auto *c) { return c->brightnessUp(); });
        QTest::newRow("contrast down")
                << "contrast" << F([](auto *c) { return c->contrastDown(); });
        QTest::newRow("exposure up") << "exposure" << F([](auto *c) { return c->exposureUp(); });
        QTest::newRow("red gain") << "red" << F([](auto *c) { return c->redGainUp(); });
        QTest::newRow("blue gain") << "blue" << F([](auto *c) { return c->blueGainDown(); });
        QTest::newRow("focus far") << "focus" << F([](auto *c) { return c->focusFar(); });
        QTest::newRow("focus near") << "focus" << F([](auto *c) { return c->focusNear(); });
        QTest::newRow("zoom in") << "zoom" << F([](auto *c) { return c->zoomIn(); });
        QTest::newRow("rotation") << "rotation" << F([](auto *c) { return c->setRotation(90); });
        QTest::newRow("mirror") << "mirror" << F([](auto *c) { return c->setMirror(true); });
        QTest::newRow("black and white")
                << "effect"
                << F([](auto *c) { return c->setColorEffect(DocCam::ColorEffectBlackWhite); });
        QTest::newRow("negative") << "effect" << F([](auto *c) {
            return c->setColorEffect(DocCam::ColorEffectNegative);
        });
        QTest::newRow("mode") << "mode"
                              << F([](auto *c) { return c->setCameraMode(DocCam::ModeMacro); });
        QTest::newRow("wide angle") << "mode" << F([](auto *c) { return c->setModeFlag(true); });
        QTest::newRow("auto exposure off")
                << "exposure" << F([](auto *c) { return c->setAutoExposure(false); });
        QTest::newRow("white balance manual")
                << "white" << F([](auto *c) { return c->setAutoWhiteBalance(false); });
        QTest::newRow("auto image")
                << "auto image" << F([](auto *c) { return c->setAutoImage(true); });
    }

    void everyControlChangesThePictureOrTheParameter()
    {
        QFETCH(QString, name);
        QFETCH(std::function<int(DocCamControl *)>, command);
        ManagerFixture fixture;
        Attached key(documentCamera(QStringLiteral("Controls")));
        fixture.manager->waitForIdle();
        Stream stream(fixture.camera(QStringLiteral("Controls")));
        const QImage before = stream.sink.nextFrame().getQImage();

        QCOMPARE(command(stream.sink.control), DocCam::Ok);
        // Skip the frame that may have been drawn while the change was made.
        stream.sink.nextFrame();
        const QImage after = stream.sink.nextFrame().getQImage();
        QVERIFY(!before.isNull() && !after.isNull());
        // Outside the marker and the clock nothing moves unless the control changed it.
        const bool reshaped = after.size() != before.size();
        const int changed = reshaped ? -1 : differingStillParts(before, after);
        QVERIFY2(reshaped || changed > 20,
                 qPrintable(QStringLiteral("%1 changed only %2 sampled pixels")
                                    .arg(name)
                                    .arg(changed)));
    }

    void freezeHoldsThePictureAndListenersHearChanges()
    {
        ManagerFixture fixture;
        SimulatedCameras::Setup setup = documentCamera(QStringLiteral("Freeze"));
        setup.tuningOnContrast = true;
        Attached key(setup);
        fixture.manager->waitForIdle();
        Stream stream(fixture.camera(QStringLiteral("Freeze")));
        ParameterRecorder listener;
        stream.camera->installParametersListener(&listener);

        stream.sink.nextFrame();
        QCOMPARE(stream.sink.control->setFreeze(true), DocCam::Ok);
        QVERIFY(listener.waitForCall(QStringLiteral("freeze 1")));
        QVERIFY(stream.camera->freeze());
        QImage frozen;
        QCOMPARE(stream.camera->grabCurrentFrame(frozen), DocCam::Ok);
        stream.sink.control->framePainted();
        QTest::qSleep(100);
        QImage stillFrozen;
        stream.camera->grabCurrentFrame(stillFrozen);
        QCOMPARE(stillFrozen, frozen);
        stream.sink.control->setFreeze(false);

        // Rotating four times comes back round; the listener hears each step once.
        for (int i = 0; i < 4; ++i)
            stream.sink.control->setRotation((stream.camera->rotation() + 90) % 360);
        QVERIFY(listener.waitForCall(QStringLiteral("rotation 0")));
        QCOMPARE(listener.calls.count(QStringLiteral("rotation 180")), 1);

        // A contrast change that makes the camera tune itself reports the end later.
        QCOMPARE(stream.sink.control->setContrast(70), DocCam::Tuning);
        QVERIFY(listener.waitForCall(QStringLiteral("tuning ended")));
        QCOMPARE(stream.camera->contrast(), 70);

        // Automatic focus settles on the sharp position.
        stream.sink.control->focusFar();
        QCOMPARE(stream.sink.control->autoFocus(), DocCam::Ok);
        QVERIFY(listener.waitForCall(QStringLiteral("focus 50")));
        stream.camera->removeParametersListener(&listener);
    }

    void removalMidStreamReportsFrameError()
    {
        ManagerFixture fixture;
        Attached key(documentCamera(QStringLiteral("Unplugged")));
        fixture.manager->waitForIdle();
        Stream stream(fixture.camera(QStringLiteral("Unplugged")));
        stream.sink.nextFrame();
        QVERIFY(SimulatedCameras::remove(key.key));
        stream.sink.control->framePainted();
        QVERIFY(waitFor(stream.sink.mutex, stream.sink.changed,
                        [&] { return !stream.sink.errors.isEmpty(); }));
        QCOMPARE(uint(stream.sink.errors.at(0)), 0xE0000000u);
        fixture.manager->waitForIdle();
        QVERIFY(fixture.manager->cameras().isEmpty());
        // The camera stays a valid object for whoever still holds it, but refuses work.
        QCOMPARE(stream.camera->requestHQImage(), DocCam::ErrorUnsupported);
        QCOMPARE(stream.sink.control->setBrightness(10), DocCam::ErrorDevice);
    }

    void softwareFallbacksTransformThePicture()
    {
        QImage source(40, 20, QImage::Format_RGB32);
        source.fill(Qt::white);
        source.setPixelColor(0, 0, Qt::red); // top-left marker
        const auto all = DocCam::CapZoom | DocCam::CapMirror | DocCam::CapRotation
                | DocCam::CapColorEffect;

        FrameProcessor::Settings settings;
        QCOMPARE(FrameProcessor::process(source, settings, all).cacheKey(), source.cacheKey());

        settings.mirror = true;
        QCOMPARE(FrameProcessor::process(source, settings, all).pixelColor(39, 0), QColor(Qt::red));
        // Mirroring the camera does itself is not done twice.
        QCOMPARE(FrameProcessor::process(source, settings, 0).pixelColor(0, 0), QColor(Qt::red));

        settings = {};
        settings.rotation = 90;
        const QImage rotated = FrameProcessor::process(source, settings, all);
        QCOMPARE(rotated.size(), QSize(20, 40));
        QCOMPARE(rotated.pixelColor(19, 0), QColor(Qt::red));

        settings = {};
        settings.zoomRatio = 2.0;
        QCOMPARE(FrameProcessor::process(source, settings, all).size(), QSize(20, 10));
        QCOMPARE(FrameProcessor::zoomCrop(QSize(40, 20), 2.0), QRect(10, 5, 20, 10));

        settings = {};
        settings.colorEffect = DocCam::ColorEffectNegative;
        QCOMPARE(FrameProcessor::process(source, settings, all).pixelColor(0, 0), QColor(Qt::cyan));
        QCOMPARE(source.pixelColor(0, 0), QColor(Qt::red));
        settings.colorEffect = DocCam::ColorEffectBlackWhite;
        const QImage grey = FrameProcessor::process(source, settings, all);
        QVERIFY(grey.isGrayscale());
    }
};

VELORA_TEST_MAIN(TestSimulatedCameras)
#include "tst_simulatedcameras.moc"
