#include "LogLines.h"
#include "PluggedCamera.h"

#include <CameraDevice.h>
#include <CameraImage.h>
#include <CameraSettingsStore.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <FrameProcessor.h>
#include <KivoDocCam.h>
#include <LogSystem.h>
#include <QImageFrameGrabber.h>
#include <QImageHQImageGrabber.h>
#include <VeloraTest.h>
#include <v4l2/V4l2FrameDecoder.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <linux/videodev2.h>

namespace {

/// Stands where a view would: takes frames, and reports each painted when the test says so or,
/// when eager, at once from the capture thread, as a consumer with nothing to paint does.
struct FrameSink : QImageFrameGrabber, QImageHQImageGrabber
{
    std::mutex mutex;
    std::condition_variable changed;
    KivoDocCam *camera = nullptr;
    DocCamControl *control = nullptr;
    bool eager = false;
    QList<CameraImage> frames;
    QList<int> errors;
    QList<QImage> stills;

    void oneFrameFetched(const CameraImage &frame) override
    {
        append(frames, frame);
        if (eager) {
            camera->brightness(); // the camera may be asked about itself from its callback
            control->framePainted();
        }
    }
    void frameError(int code) override { append(errors, code); }
    void hqImageGrabbed(const QImage &image) override { append(stills, image); }

    template<typename T> void append(QList<T> &list, const T &item)
    {
        std::lock_guard lock(mutex);
        list.append(item);
        changed.notify_all();
    }
    template<typename T> qsizetype count(const QList<T> &list)
    {
        std::lock_guard lock(mutex);
        return list.size();
    }
    /// The last item once `list` holds more than `before`; a default one after five seconds.
    template<typename T> T waitForMore(const QList<T> &list, qsizetype before)
    {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return list.size() > before; }))
            return {};
        return list.last();
    }
    /// Waits for the next frame, after painting what arrived unless eager.
    CameraImage nextFrame()
    {
        const qsizetype before = count(frames);
        if (!eager)
            control->framePainted();
        return waitForMore(frames, before);
    }
    QImage nextStill()
    {
        const qsizetype before = count(stills);
        return camera->requestHQImage() == DocCam::Ok ? waitForMore(stills, before) : QImage();
    }
};

/// The document cameras' manager, started, given back at the end of the test.
struct ManagerFixture
{
    DocCamManager *manager = DocCamManager::getDocCamManager({});

    ManagerFixture() { manager->start(); }
    ~ManagerFixture() { manager->release(); }
    KivoDocCam *camera(const QString &model)
    {
        manager->waitForIdle();
        for (KivoDocCam *camera : manager->cameras()) {
            if (camera->modelName() == model)
                return camera;
        }
        return nullptr;
    }
};

/// A camera plugged in and streaming into a sink for one test, all given back at its end.
struct Stream
{
    ManagerFixture fixture;
    PluggedCamera plugged;
    FrameSink sink;

    explicit Stream(const QString &model,
                    const std::function<void(SimulatedCameras::Setup &)> &adjust = {},
                    bool eager = false)
        : plugged(model, [&adjust](SimulatedCameras::Setup &setup) {
            // Large enough for every control to change many pixels of the page.
            setup.size = QSize(640, 480);
            if (adjust)
                adjust(setup);
        })
    {
        sink.camera = fixture.camera(model);
        sink.eager = eager;
        camera()->addRef();
        DocCam::VideoFormat format;
        camera()->getCurrentVideoFormat(format);
        camera()->installHQImageGrabber(&sink);
        if (camera()->openStream(format, &sink, &sink.control) == DocCam::Ok)
            sink.control->start();
    }
    ~Stream()
    {
        camera()->removeHQImageGrabber(&sink);
        if (sink.control)
            sink.control->release();
        camera()->release();
    }
    KivoDocCam *camera() const { return sink.camera; }
};

/// What a camera remembers: brightness, contrast, exposure, automatic exposure and white
/// balance, red and blue gain, focus, rotation, mirror.
QList<int> remembered(const KivoDocCam *c)
{
    return {c->brightness(),       c->contrast(),     c->exposure(),      c->autoExposure(),
            c->autoWhiteBalance(), int(c->redGain()), int(c->blueGain()), c->focus(),
            int(c->rotation()),    c->mirror()};
}

std::function<void(SimulatedCameras::Setup &)> atPort(quint32 port, const QString &serial = {})
{
    return [port, serial](SimulatedCameras::Setup &setup) {
        setup.locationId = port;
        setup.serialNumber = serial;
    };
}

/// A camera that sends one 640x480 JPEG over and over through the V4L2 backend's decoder, shrunk
/// to the view as that backend does.
class JpegCamera : public CameraDevice
{
public:
    explicit JpegCamera(DocCamManager *manager)
        : CameraDevice(manager,
                       {QStringLiteral("jpeg"), QStringLiteral("Jpeg"), 0, 0, 0, false, {}})
    {
        QImage page(640, 480, QImage::Format_RGB32);
        page.fill(Qt::darkCyan);
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        page.save(&buffer, "JPG");
    }

protected:
    int openCapture(const DocCam::VideoFormat &) override { return DocCam::Ok; }
    void closeCapture() override { }
    GrabResult grabFrame(QImage &frame, int) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        frame = decoder.decodeMjpeg(reinterpret_cast<const uchar *>(jpeg.constData()),
                                    std::size_t(jpeg.size()), displaySize());
        return GrabResult::Frame;
    }
    QImage grabStill() override { return {}; }
    int applyControl(Control, int) override { return DocCam::ErrorUnsupported; }
    std::uint32_t hardwareCapabilities() const override { return 0; }
    DocCam::VideoFormat liveFormat() const override { return {{640, 480}, 30}; }
    QSize stillSize() const override { return {}; }

private:
    QByteArray jpeg;
    V4l2FrameDecoder decoder;
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

} // namespace

class TestSimulatedCameras : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogSystem::getSysLogSystem()->setLogger(new LogLines);
        LogSystem::getSysLogSystem()->startLog();
    }

    void parsesTheEnvironmentList()
    {
        const auto setups = SimulatedCameras::parse(QStringLiteral(
                "doccam:1920x1080@busy@tuning, webcam:1280x720@slow,bogus,doccam:9x9,"
                "DocCam:640X480@port=3@serial=Ab-1"));
        QCOMPARE(setups.size(), 3);
        QCOMPARE(setups.at(2).locationId, 3u);
        QCOMPARE(setups.at(2).serialNumber, QStringLiteral("Ab-1"));
        QCOMPARE(setups.at(0).size, QSize(1920, 1080));
        QVERIFY(setups.at(0).documentCamera && setups.at(0).busy && setups.at(0).tuningOnContrast);
        QVERIFY(!setups.at(1).documentCamera);
        QCOMPARE(setups.at(1).size, QSize(1280, 720));
        QVERIFY(setups.at(1).startDelayMs > 0 && setups.at(0).startDelayMs == 0);
    }

    void framesArePacedByPaintingAndAFrozenPictureHoldsUntilUnplugged()
    {
        Stream stream(QStringLiteral("Paced and frozen"));
        QCOMPARE(stream.sink.waitForMore(stream.sink.frames, 0).size(), QSize(640, 480));
        // Nobody paints: at 60 frames per second, 200 ms would bring a dozen more.
        QTest::qSleep(200);
        QCOMPARE(stream.sink.count(stream.sink.frames), 1);
        const CameraImage next = stream.sink.nextFrame();
        QCOMPARE(next.sequence(), 2);
        QVERIFY(next.capturedNs() > 0);

        // A frozen picture holds until the camera is unplugged.
        QCOMPARE(stream.sink.control->setFreeze(true), DocCam::Ok);
        QTRY_VERIFY(stream.camera()->freeze());
        QImage frozen;
        QCOMPARE(stream.camera()->grabCurrentFrame(frozen), DocCam::Ok);
        stream.sink.nextFrame();
        QImage stillFrozen;
        stream.camera()->grabCurrentFrame(stillFrozen);
        QCOMPARE(stillFrozen, frozen);

        stream.plugged.unplug();
        stream.sink.control->framePainted();
        QCOMPARE(uint(stream.sink.waitForMore(stream.sink.errors, 0)), 0xE0000000u);
        // The camera stays a valid object for whoever still holds it, but refuses work.
        QCOMPARE(stream.camera()->requestHQImage(), DocCam::ErrorUnsupported);
        QCOMPARE(stream.sink.control->setBrightness(10), DocCam::ErrorDevice);
    }

    void eagerConsumerGetsNoMoreFramesForAskingStills()
    {
        QElapsedTimer sinceStart;
        sinceStart.start();
        Stream stream(
                QStringLiteral("Eager"), [](auto &s) { s.frameRate = 20; }, true);
        // Stills asked for between frames cut the wait for the next frame short, again and
        // again; the frame stays due when it was.
        for (int i = 0; i < 10; ++i) {
            QVERIFY(!stream.sink.nextStill().isNull());
            QVERIFY(!stream.sink.nextFrame().isNull());
        }
        const qsizetype frames = stream.sink.count(stream.sink.frames);
        const qint64 elapsedMs = sinceStart.elapsed();
        // The n-th frame is not due before n periods of 50 ms.
        QVERIFY2(frames <= elapsedMs / 50 + 1,
                 qPrintable(QStringLiteral("%1 frames in %2 ms").arg(frames).arg(elapsedMs)));
    }

    void highQualityStillsFollowTheControlsAndStayAsDelivered()
    {
        QList<QImage> kept;
        QList<QImage> asDelivered;
        {
            Stream stream(QStringLiteral("Stills"));
            // More stills than the camera keeps memory for, every one of them still held; a
            // frame between two stills moves the marker, so no two stills are alike.
            for (int i = 0; i < 5; ++i) {
                asDelivered.append(stream.sink.nextStill().copy());
                stream.sink.nextFrame();
            }
            QCOMPARE(stream.sink.control->setBrightness(90), DocCam::Ok);
            stream.sink.nextFrame();
            QVERIFY(differingStillParts(asDelivered.last(), stream.sink.nextStill()) > 20);
            std::lock_guard lock(stream.sink.mutex);
            kept = stream.sink.stills.mid(0, 5);
        }
        // The camera is gone; the pictures it gave out are not.
        QCOMPARE(kept.size(), asDelivered.size());
        for (int i = 0; i < kept.size(); ++i) {
            QCOMPARE(kept.at(i).size(), QSize(1280, 960));
            QVERIFY2(kept.at(i) == asDelivered.at(i), qPrintable(QString::number(i)));
            if (i > 0)
                QVERIFY(kept.at(i) != kept.at(i - 1));
        }

        Stream none(QStringLiteral("No stills"), [](auto &s) { s.noStills = true; });
        QVERIFY(!none.camera()->isHQImageSupported());
        QCOMPARE(none.camera()->requestHQImage(), DocCam::ErrorUnsupported);
    }

    void everyControlChangesThePicture_data()
    {
        using F = std::function<int(DocCamControl *)>;
        QTest::addColumn<F>("command");
        QTest::newRow("brightness") << F([](auto *c) { return c->setBrightness(90); });
        QTest::newRow("contrast") << F([](auto *c) { return c->setContrast(5); });
        QTest::newRow("exposure up") << F([](auto *c) { return c->exposureUp(); });
        QTest::newRow("red gain") << F([](auto *c) { return c->redGainUp(); });
        QTest::newRow("focus far") << F([](auto *c) { return c->focusFar(); });
        QTest::newRow("zoom in") << F([](auto *c) { return c->zoomIn(); });
        QTest::newRow("rotation") << F([](auto *c) { return c->setRotation(90); });
        QTest::newRow("mirror") << F([](auto *c) { return c->setMirror(true); });
        QTest::newRow("black and white")
                << F([](auto *c) { return c->setColorEffect(DocCam::ColorEffectBlackWhite); });
        QTest::newRow("mode") << F([](auto *c) { return c->setCameraMode(DocCam::ModeMacro); });
        QTest::newRow("wide angle") << F([](auto *c) { return c->setModeFlag(true); });
        QTest::newRow("auto exposure off") << F([](auto *c) { return c->setAutoExposure(false); });
        QTest::newRow("white balance manual")
                << F([](auto *c) { return c->setAutoWhiteBalance(false); });
        QTest::newRow("auto image") << F([](auto *c) { return c->setAutoImage(true); });
    }

    void everyControlChangesThePicture()
    {
        QFETCH(std::function<int(DocCamControl *)>, command);
        Stream stream(QStringLiteral("Controls"));
        const QImage before = stream.sink.nextFrame().getQImage();
        QCOMPARE(command(stream.sink.control), DocCam::Ok);
        // Skip the frame that may have been drawn while the change was made.
        stream.sink.nextFrame();
        const QImage after = stream.sink.nextFrame().getQImage();
        QVERIFY(!before.isNull() && !after.isNull());
        // Outside the marker and the clock nothing moves unless the control changed it.
        const int changed
                = after.size() != before.size() ? 1000 : differingStillParts(before, after);
        QVERIFY2(changed > 20, qPrintable(QStringLiteral("%1 sampled pixels").arg(changed)));
    }

    void settingsFollowTheCameraAcrossReplugAndRestartUntilReset()
    {
        const QList<int> defaults{50, 50, 50, 1, 1, 50, 50, 50, 0, 0};
        const QList<int> changed{80, 30, 55, 0, 0, 55, 45, 45, 180, 1};
        const QString serial = QStringLiteral("SN-7");
        const QString key = QStringLiteral("1d6b:0101:serial:SN-7");
        {
            ManagerFixture kept; // the same manager across the replug
            {
                Stream stream(QStringLiteral("Room 1"), atPort(11, serial));
                DocCamControl *c = stream.sink.control;
                for (int result :
                     {c->setBrightness(80), c->setContrast(30), c->setAutoExposure(false),
                      c->exposureUp(), c->setAutoWhiteBalance(false), c->redGainUp(),
                      c->blueGainDown(), c->focusNear(), c->setRotation(180), c->setMirror(true)})
                    QCOMPARE(result, DocCam::Ok);
            }
            // The last change is on disk once the stream has closed, without waiting.
            kept.manager->waitForIdle();
            QCOMPARE(CameraSettingsStore(CameraSettingsStore::defaultFilePath(), {})
                             .values(key)
                             .value(V4L2_CID_HFLIP),
                     1);
            // The serial number follows the camera into any port; the same model without one,
            // in the port it left, is another camera.
            Stream replugged(QStringLiteral("Room 1"), atPort(12, serial));
            QCOMPARE(remembered(replugged.camera()), changed);
            Stream other(QStringLiteral("Room 2"), atPort(11));
            QCOMPARE(remembered(other.camera()), defaults);
        }
        {
            Stream restarted(QStringLiteral("Room 1"), atPort(13, serial));
            QCOMPARE(remembered(restarted.camera()), changed);
            QCOMPARE(restarted.sink.control->resetToDefaults(), DocCam::Ok);
            // The lens finds its sharp position again by itself.
            QTRY_COMPARE(remembered(restarted.camera()), defaults);
        }
        // Nothing is left to come back at the next replug.
        QVERIFY(CameraSettingsStore(CameraSettingsStore::defaultFilePath(), {})
                        .values(key)
                        .isEmpty());
    }

    void settingsWritesAreCoalesced()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("settings"));
        QList<int> delays;
        std::function<void()> due;
        CameraSettingsStore store(path, [&](std::function<void()> task, int delayMs) {
            delays.append(delayMs);
            due = std::move(task);
        });
        // A slider's sweep waits for one write, which has its last value.
        for (int level = 0; level <= 100; level += 10)
            store.record(QStringLiteral("cam"), V4L2_CID_BRIGHTNESS, level);
        QCOMPARE(delays, QList<int>{CameraSettingsStore::WriteDelayMs});
        QVERIFY(!QFile::exists(path));
        due();
        QCOMPARE(CameraSettingsStore(path, {}).values(QStringLiteral("cam")),
                 (CameraSettingsStore::Values{{V4L2_CID_BRIGHTNESS, 100}}));
    }

    void damagedSettingsCostOnlyTheirOwnCamera_data()
    {
        const QByteArray other
                = R"({"camera":"1d6b:0101:port:00000016","controls":{"0x00980900":20}})";
        QTest::addColumn<QByteArray>("tail"); // what follows the intact camera's line
        QTest::addColumn<int>("damagedBrightness"); // the camera whose line is damaged
        QTest::addColumn<int>("intactBrightness");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("fileKept");
        QTest::newRow("truncated")
                << other.left(other.size() / 2) << 50 << 80 << "1 damaged line" << false;
        QTest::newRow("unreadable") << other + '\n' << 50 << 50 << "(Permission denied)" << true;
        QTest::newRow("unwritable") << other + '\n' << 20 << 80 << "could not be written" << true;
    }

    void damagedSettingsCostOnlyTheirOwnCamera()
    {
        QFETCH(QByteArray, tail);
        QFETCH(int, damagedBrightness);
        QFETCH(int, intactBrightness);
        QFETCH(QString, logged);
        QFETCH(bool, fileKept);
        const QString damage = QString::fromLatin1(QTest::currentDataTag());
        // Root reads and writes anything.
        if (fileKept && !VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        const QString path = CameraSettingsStore::defaultFilePath();
        const QString folder = QFileInfo(path).path();
        const QByteArray intact
                = R"({"camera":"1d6b:0101:port:00000015","controls":{"0x00980900":80}})"
                  "\n";
        const QByteArray content = intact + tail;
        QDir().mkpath(folder);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        if (damage == QLatin1String("unreadable"))
            QVERIFY(file.setPermissions({}));
        if (damage == QLatin1String("unwritable"))
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        LogLines::clear();
        {
            Stream damagedCamera(QStringLiteral("Damaged"), atPort(0x16));
            Stream intactCamera(QStringLiteral("Intact"), atPort(0x15));
            QCOMPARE(damagedCamera.camera()->brightness(), damagedBrightness);
            QCOMPARE(intactCamera.camera()->brightness(), intactBrightness);
            QCOMPARE(damagedCamera.sink.control->setBrightness(60), DocCam::Ok);
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(LogLines::count(QStringLiteral("CameraSettingsStore")), 1);
        QCOMPARE(LogLines::count(logged), 1);
        // Another camera's entry survives the next write, or the file is left as it was.
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray after = file.readAll();
        QVERIFY2(fileKept ? after == content : after.contains(intact), after.constData());
    }

    void framesComeAtTheSizeTheViewShowsThem_data()
    {
        QTest::addColumn<unsigned>("rotation");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QSize>("whole");
        QTest::newRow("level") << 0u << 0 << QSize(133, 100) << QSize(640, 480);
        QTest::newRow("turned") << 90u << 0 << QSize(75, 100) << QSize(480, 640);
        // The crop of the zoomed picture still fills the view.
        QTest::newRow("zoomed") << 0u << 3 << QSize(133, 100) << QSize(328, 246);
    }

    void framesComeAtTheSizeTheViewShowsThem()
    {
        QFETCH(unsigned, rotation);
        QFETCH(int, zoomSteps);
        QFETCH(QSize, shown);
        QFETCH(QSize, whole);
        ManagerFixture fixture;
        auto *camera = new JpegCamera(fixture.manager);
        FrameSink sink;
        sink.camera = camera;
        QCOMPARE(camera->openStream({{640, 480}, 30}, &sink, &sink.control), DocCam::Ok);
        sink.control->setDisplaySize({200, 100});
        sink.control->setRotation(rotation);
        for (int i = 0; i < zoomSteps; ++i)
            sink.control->zoomIn();
        QCOMPARE(sink.control->start(), DocCam::Ok);
        QCOMPARE(sink.nextFrame().size(), shown);
        // A capture keeps the whole picture, and so does a frozen one, sharp in a larger view.
        QImage live;
        QCOMPARE(camera->grabCurrentFrame(live), DocCam::Ok);
        QCOMPARE(live.size(), whole);
        sink.control->setFreeze(true);
        const QImage picture = sink.nextFrame().getQImage();
        QCOMPARE(picture.size(), whole);
        QImage captured;
        QCOMPARE(camera->grabCurrentFrame(captured), DocCam::Ok);
        QCOMPARE(captured.cacheKey(), picture.cacheKey());
        sink.control->release();
        camera->release();
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

        // Turned clockwise; the turned and zoomed sizes are checked through a camera above.
        settings = {};
        settings.rotation = 90;
        QCOMPARE(FrameProcessor::process(source, settings, all).pixelColor(19, 0), QColor(Qt::red));
        QCOMPARE(FrameProcessor::zoomCrop(QSize(40, 20), 2.0), QRect(10, 5, 20, 10));

        settings = {};
        settings.colorEffect = DocCam::ColorEffectNegative;
        QCOMPARE(FrameProcessor::process(source, settings, all).pixelColor(0, 0), QColor(Qt::cyan));
        QCOMPARE(source.pixelColor(0, 0), QColor(Qt::red));
        settings.colorEffect = DocCam::ColorEffectBlackWhite;
        QVERIFY(FrameProcessor::process(source, settings, all).isGrayscale());
    }
};

VELORA_TEST_MAIN(TestSimulatedCameras)
#include "tst_simulatedcameras.moc"
