#include "RecordedDevices.h"
#include "RecordedNodes.h"

#include <CameraImage.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <DocCamManagerEventListener.h>
#include <KivoDocCam.h>
#include <QImageFrameGrabber.h>
#include <QImageHQImageGrabber.h>
#include <VeloraTest.h>
#include <v4l2/V4l2Backend.h>
#include <v4l2/V4l2Device.h>
#include <v4l2/V4l2DeviceTracker.h>
#include <v4l2/V4l2RecoveryTiming.h>

#include <linux/videodev2.h>

#include <atomic>
#include <mutex>

using Event = DocCam::ManagerEvent;

namespace {

const QString Node = QStringLiteral("/dev/video90");

V4l2NodeEvent udevEvent(V4l2NodeEvent::Action action)
{
    V4l2NodeEvent event;
    event.action = action;
    event.devnode = Node;
    event.sysname = QStringLiteral("video90");
    return event;
}

/// The cameras the manager reported added, each held until clear(), and how many it removed.
struct Reports : DocCamManagerEventListener
{
    std::mutex mutex;
    QList<KivoDocCam *> added;
    int removed = 0;

    void docCamManagerEvent(Event event, KivoDocCam *camera) override
    {
        std::lock_guard lock(mutex);
        if (event == Event::CameraAdded) {
            camera->addRef();
            added.append(camera);
        }
        removed += event == Event::CameraRemoved;
    }
    std::pair<qsizetype, int> count()
    {
        std::lock_guard lock(mutex);
        return {added.size(), removed};
    }
    KivoDocCam *lastAdded()
    {
        std::lock_guard lock(mutex);
        return added.value(added.size() - 1);
    }
    void clear()
    {
        std::lock_guard lock(mutex);
        for (KivoDocCam *camera : std::as_const(added))
            camera->release();
        added.clear();
        removed = 0;
    }
};

/// A camera's stream open to a consumer that shows every frame at once, as the camera view does.
struct Stream : QImageFrameGrabber, QImageHQImageGrabber
{
    KivoDocCam *camera;
    DocCamControl *control = nullptr;
    std::atomic<int> frames{0};
    std::atomic<int> error{0};
    std::atomic<int> stills{0};
    QSize stillSize;

    explicit Stream(KivoDocCam *camera)
        : camera(camera)
    {
        DocCam::VideoFormat format;
        camera->getCurrentVideoFormat(format);
        camera->openStream(format, this, &control);
        camera->installHQImageGrabber(this);
    }
    ~Stream() override
    {
        control->release();
        camera->removeHQImageGrabber(this);
    }
    void oneFrameFetched(const CameraImage &) override
    {
        ++frames;
        control->framePainted();
    }
    void frameError(int code) override { error = code; }
    void hqImageGrabbed(const QImage &image) override
    {
        stillSize = image.size();
        ++stills;
    }
};

} // namespace

/// The V4L2 backend's stream, stall and removal handling, on a recorded camera whose node
/// fails where a test says.
class TestV4l2Stream : public QObject
{
    Q_OBJECT

    RecordedNodes player;
    Reports reports;
    DocCamManager *manager = nullptr;

    /// Plugs the recorded document camera in: the camera the manager reported.
    KivoDocCam *plugIn()
    {
        player.serve(Node, RecordedDevices::documentCamera());
        deliverV4l2NodeEvent(manager, udevEvent(V4l2NodeEvent::Action::Add));
        manager->waitForIdle();
        return reports.lastAdded();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("VELORA_SIMULATED_CAMERAS");
        manager = DocCamManager::getDocCamManager({});
        manager->registerEventListener(&reports);
        manager->start();
        manager->waitForIdle();
        reports.clear();
    }

    void cleanup()
    {
        deliverV4l2NodeEvent(manager, udevEvent(V4l2NodeEvent::Action::Remove));
        manager->waitForIdle();
        player.clearFaults(Node);
        reports.clear();
    }

    void cleanupTestCase()
    {
        manager->unregisterEventListener(&reports);
        manager->release();
    }

    void startAnswersTheNodesFault_data()
    {
        QTest::addColumn<qulonglong>("request");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("code");
        const auto row = [](const char *name, unsigned long request, int error, int code) {
            QTest::newRow(name) << qulonglong(request) << error << code;
        };
        row("busy at open", RecordedNodes::Open, EBUSY, DocCam::ErrorBusy);
        row("busy at STREAMON", VIDIOC_STREAMON, EBUSY, DocCam::ErrorBusy);
        row("no USB bandwidth", VIDIOC_STREAMON, ENOSPC, DocCam::ErrorBusy);
        row("I/O error", VIDIOC_STREAMON, EIO, DocCam::ErrorDevice);
    }

    void startAnswersTheNodesFault()
    {
        QFETCH(qulonglong, request);
        QFETCH(int, error);
        QFETCH(int, code);
        Stream stream(plugIn());
        player.fail(Node, request, error, 1);
        QCOMPARE(stream.control->start(), code);
        // Once the other application lets go, the next attempt streams.
        QCOMPARE(stream.control->start(), DocCam::Ok);
        QTRY_VERIFY(stream.frames > 0);
    }

    void unpluggedMidStreamEndsTheStream()
    {
        Stream stream(plugIn());
        QCOMPARE(stream.control->start(), DocCam::Ok);
        QTRY_VERIFY(stream.frames > 0);
        const int opens = player.calls(Node, RecordedNodes::Open);
        player.fail(Node, VIDIOC_DQBUF, ENODEV);
        QTRY_COMPARE(stream.error.load(), DocCam::ErrorFrame);
        DocCam::VideoFormat format;
        QCOMPARE(stream.camera->getCurrentVideoFormat(format), DocCam::ErrorDevice);
        // udev reports the removal; a vanished node is not reopened.
        QCOMPARE(player.calls(Node, RecordedNodes::Open), opens);
    }

    void settingsComeBackWithTheReplugedCamera()
    {
        const auto brightness = [] {
            return V4l2Device::probe(Node)->control(V4L2_CID_BRIGHTNESS)->value;
        };
        for (int replug = 0; replug < 2; cleanup(), ++replug) {
            Stream stream(plugIn());
            QVERIFY(brightness() != 64); // plugged in, the node has its recorded value
            QCOMPARE(stream.control->start(), DocCam::Ok);
            if (replug == 0)
                QCOMPARE(stream.control->setBrightness(100), DocCam::Ok);
            QTRY_COMPARE(brightness(), 64);
        }
    }

    void failedStreamRecovers_data()
    {
        QTest::addColumn<qulonglong>("request");
        QTest::addColumn<int>("failures"); // -1: until the fault clears
        QTest::addColumn<bool>("still");
        QTest::addColumn<QString>("then");
        const auto row = [](const char *name, unsigned long request, int failures, bool still,
                            const char *then) {
            QTest::newRow(name) << qulonglong(request) << failures << still << QString(then);
        };
        const int retries = int(V4l2RecoveryTiming::current().retryMs.size());
        row("stall, only the last retry works", VIDIOC_STREAMON, retries, false, "streams");
        row("stall, never restarts", VIDIOC_STREAMON, -1, false, "added again");
        row("stall, streams on but sends nothing", VIDIOC_DQBUF, -1, false, "added again");
        row("still, cannot switch back", VIDIOC_S_FMT, -1, true, "added again");
        row("stall, unplugged while retrying", VIDIOC_STREAMON, -1, false, "unplugged");
    }

    void failedStreamRecovers()
    {
        QFETCH(qulonglong, request);
        QFETCH(int, failures);
        QFETCH(bool, still);
        QFETCH(QString, then);
        KivoDocCam *camera = plugIn();
        {
            Stream stream(camera);
            QCOMPARE(stream.control->start(), DocCam::Ok);
            QTRY_VERIFY(stream.frames > 0);
            // A still's switch to its own size works, only the one back to live fails.
            player.fail(Node, request, EBUSY, failures, still ? 1 : 0);
            if (still) {
                QCOMPARE(camera->requestHQImage(), DocCam::Ok);
                QTRY_COMPARE(stream.stills.load(), 1);
                QCOMPARE(stream.stillSize, QSize(3264, 2448));
            } else {
                player.stall(Node);
            }
            const int stalledAt = stream.frames;
            if (then == QLatin1String("streams")) {
                QTRY_VERIFY(stream.frames > stalledAt + 2);
                QCOMPARE(stream.error.load(), 0);
                QCOMPARE(reports.count(), std::make_pair(qsizetype(1), 0));
                // The controls reach the reopened node.
                QCOMPARE(stream.control->setBrightness(100), DocCam::Ok);
                QTRY_COMPARE(V4l2Device::probe(Node)->control(V4L2_CID_BRIGHTNESS)->value, 64);
                return;
            }
            QTRY_COMPARE(reports.count().second, 1);
            // The stream's end and the removal come from different threads, in either order.
            QTRY_COMPARE(stream.error.load(), DocCam::ErrorFrame);
        }
        // Still tried in the background; udev reporting the node meanwhile adds no camera.
        deliverV4l2NodeEvent(manager, udevEvent(V4l2NodeEvent::Action::Add));
        const int opens = player.calls(Node, RecordedNodes::Open);
        QTRY_VERIFY(player.calls(Node, RecordedNodes::Open) > opens + 1);
        if (then == QLatin1String("unplugged")) {
            deliverV4l2NodeEvent(manager, udevEvent(V4l2NodeEvent::Action::Remove));
            manager->waitForIdle();
            player.clearFaults(Node);
            const int lastOpens = player.calls(Node, RecordedNodes::Open);
            // Every attempt scheduled before the unplug is due before this.
            std::atomic<bool> passed = false;
            manager->post([&passed] { passed = true; },
                          V4l2RecoveryTiming::current().backgroundMaxMs);
            QTRY_VERIFY(passed);
            QCOMPARE(player.calls(Node, RecordedNodes::Open), lastOpens);
            QCOMPARE(reports.count().first, 1);
            return;
        }
        player.clearFaults(Node);
        QTRY_COMPARE(reports.count().first, 2);
        KivoDocCam *back = reports.lastAdded();
        QVERIFY(back != camera);
        QCOMPARE(back->modelName(), camera->modelName());
        Stream again(back);
        QCOMPARE(again.control->start(), DocCam::Ok);
        QTRY_VERIFY(again.frames > 0);
    }
};

VELORA_TEST_MAIN(TestV4l2Stream)
#include "tst_v4l2stream.moc"
