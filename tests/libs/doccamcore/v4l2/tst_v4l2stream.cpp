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

/// The manager's reports, each added camera held until clear().
struct Reports : DocCamManagerEventListener
{
    std::mutex mutex;
    QList<std::pair<Event, KivoDocCam *>> seen;

    void docCamManagerEvent(Event event, KivoDocCam *camera) override
    {
        if (event == Event::CameraAdded)
            camera->addRef();
        std::lock_guard lock(mutex);
        seen.append({event, camera});
    }
    int count(Event event)
    {
        std::lock_guard lock(mutex);
        return int(std::count_if(seen.cbegin(), seen.cend(),
                                 [event](const auto &seen) { return seen.first == event; }));
    }
    KivoDocCam *lastAdded()
    {
        std::lock_guard lock(mutex);
        for (auto report = seen.crbegin(); report != seen.crend(); ++report) {
            if (report->first == Event::CameraAdded)
                return report->second;
        }
        return nullptr;
    }
    void clear()
    {
        std::lock_guard lock(mutex);
        for (const auto &[event, camera] : std::as_const(seen)) {
            if (event == Event::CameraAdded)
                camera->release();
        }
        seen.clear();
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

    /// Makes every reopen fail and stalls the stream: the camera is reported removed.
    void loseCamera()
    {
        player.fail(Node, VIDIOC_STREAMON, EIO);
        player.stall(Node);
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
        QTest::newRow("busy at open")
                << qulonglong(RecordedNodes::Open) << EBUSY << DocCam::ErrorBusy;
        QTest::newRow("busy at S_FMT") << qulonglong(VIDIOC_S_FMT) << EBUSY << DocCam::ErrorBusy;
        QTest::newRow("busy at REQBUFS")
                << qulonglong(VIDIOC_REQBUFS) << EBUSY << DocCam::ErrorBusy;
        QTest::newRow("busy at STREAMON")
                << qulonglong(VIDIOC_STREAMON) << EBUSY << DocCam::ErrorBusy;
        QTest::newRow("no USB bandwidth")
                << qulonglong(VIDIOC_STREAMON) << ENOSPC << DocCam::ErrorBusy;
        QTest::newRow("I/O error") << qulonglong(VIDIOC_STREAMON) << EIO << DocCam::ErrorDevice;
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

    void stalledStreamIsReopened_data()
    {
        QTest::addColumn<qulonglong>("request");
        QTest::addColumn<int>("failures");
        QTest::newRow("restarts at once") << qulonglong(VIDIOC_STREAMON) << 0;
        QTest::newRow("busy twice") << qulonglong(VIDIOC_S_FMT) << 2;
        const int retries = int(V4l2RecoveryTiming::current().retryMs.size());
        QTest::newRow("every retry but the last fails") << qulonglong(VIDIOC_STREAMON) << retries;
    }

    void stalledStreamIsReopened()
    {
        QFETCH(qulonglong, request);
        QFETCH(int, failures);
        Stream stream(plugIn());
        QCOMPARE(stream.control->start(), DocCam::Ok);
        QTRY_VERIFY(stream.frames > 0);
        player.fail(Node, request, EBUSY, failures);
        player.stall(Node);
        const int stalledAt = stream.frames;
        QTRY_VERIFY(stream.frames > stalledAt + 2);
        QCOMPARE(stream.error.load(), 0);
        QCOMPARE(reports.count(Event::CameraRemoved), 0);
        // The controls reach the reopened node.
        QCOMPARE(stream.control->setBrightness(100), DocCam::Ok);
        QCOMPARE(player.control(Node, V4L2_CID_BRIGHTNESS), 64);
    }

    void cameraThatCannotBeReopenedIsRemovedAndAddedAgain_data()
    {
        QTest::addColumn<bool>("still");
        QTest::newRow("stalled") << false;
        QTest::newRow("still size cannot switch back") << true;
    }

    void cameraThatCannotBeReopenedIsRemovedAndAddedAgain()
    {
        QFETCH(bool, still);
        KivoDocCam *lost = plugIn();
        {
            Stream stream(lost);
            QCOMPARE(stream.control->start(), DocCam::Ok);
            QTRY_VERIFY(stream.frames > 0);
            if (still) {
                // The switch to the still's size works, the one back to live never does.
                player.fail(Node, VIDIOC_S_FMT, EIO, -1, 1);
                QCOMPARE(lost->requestHQImage(), DocCam::Ok);
                QTRY_COMPARE(stream.stills.load(), 1);
                QCOMPARE(stream.stillSize, QSize(3264, 2448));
            } else {
                loseCamera();
            }
            QTRY_COMPARE(reports.count(Event::CameraRemoved), 1);
            QCOMPARE(stream.error.load(), DocCam::ErrorFrame);
        }
        // udev reporting the node again meanwhile adds no second camera.
        deliverV4l2NodeEvent(manager, udevEvent(V4l2NodeEvent::Action::Add));
        const int opens = player.calls(Node, RecordedNodes::Open);
        QTRY_VERIFY(player.calls(Node, RecordedNodes::Open) > opens + 1);
        QCOMPARE(reports.count(Event::CameraAdded), 1);

        player.clearFaults(Node);
        QTRY_COMPARE(reports.count(Event::CameraAdded), 2);
        KivoDocCam *back = reports.lastAdded();
        QVERIFY(back != lost);
        QCOMPARE(back->modelName(), lost->modelName());
        Stream again(back);
        QCOMPARE(again.control->start(), DocCam::Ok);
        QTRY_VERIFY(again.frames > 0);
    }

    void unplugEndsTheAttemptsToReopen()
    {
        {
            Stream stream(plugIn());
            QCOMPARE(stream.control->start(), DocCam::Ok);
            QTRY_VERIFY(stream.frames > 0);
            loseCamera();
            QTRY_COMPARE(reports.count(Event::CameraRemoved), 1);
        }
        deliverV4l2NodeEvent(manager, udevEvent(V4l2NodeEvent::Action::Remove));
        manager->waitForIdle();
        player.clearFaults(Node);
        const int opens = player.calls(Node, RecordedNodes::Open);
        // Every attempt scheduled before the unplug is due before this.
        std::atomic<bool> passed = false;
        manager->post([&passed] { passed = true; }, V4l2RecoveryTiming::current().backgroundMaxMs);
        QTRY_VERIFY(passed);
        QCOMPARE(player.calls(Node, RecordedNodes::Open), opens);
        QCOMPARE(reports.count(Event::CameraAdded), 1);
    }
};

VELORA_TEST_MAIN(TestV4l2Stream)
#include "tst_v4l2stream.moc"
