#include "RecordedDevices.h"
#include "RecordedNodes.h"

#include <VeloraTest.h>
#include <v4l2/V4l2Device.h>
#include <v4l2/V4l2FormatChoice.h>
#include <v4l2/V4l2WakeEvent.h>

#include <DocCamTypes.h>

#include <linux/videodev2.h>

#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

/// The ioctl side: nodes that are not cameras, descriptors past the select() limit, and the
/// stream of a recorded camera.
class TestV4l2Device : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nodesThatAreNotCamerasDoNotStream()
    {
        V4l2Device device;
        QCOMPARE(device.open(QStringLiteral("/dev/video-velora-none")), DocCam::ErrorDevice);
        QVERIFY(!device.isOpen());
        QVERIFY(!V4l2Device::probe(QStringLiteral("/dev/video-velora-none")));

        // /dev/null opens but answers no V4L2 ioctl.
        const std::optional<V4l2DeviceDescription> description
                = V4l2Device::probe(QStringLiteral("/dev/null"));
        QVERIFY(description && !description->isVideoCapture() && description->formats.isEmpty());
        QCOMPARE(device.open(QStringLiteral("/dev/null")), DocCam::Ok);
        QCOMPARE(device.startStreaming({V4l2::PixelFormatYuyv, QSize(640, 480), {1, 30}}),
                 DocCam::ErrorDevice);
        QImage frame;
        QCOMPARE(device.nextFrame(frame, 10), V4l2Device::Wait::Gone);
    }

    void waitSeesFrameAndWakePastTheSelectLimit()
    {
        // A program with many files open gets descriptors past FD_SETSIZE for its camera.
        // Eventfds stand in for the node, readable as a node with a frame queued is.
        rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = std::max<rlim_t>(files.rlim_cur, FD_SETSIZE + 600);
        ::setrlimit(RLIMIT_NOFILE, &files);
        V4l2WakeEvent node, wake;
        const int high = FD_SETSIZE + 500;
        QCOMPARE(::dup2(node.descriptor(), high), high);
        QCOMPARE(::dup2(wake.descriptor(), high + 1), high + 1);
        const auto wait = [high] {
            return V4l2Device::waitReadable(high, high + 1, QDeadlineTimer(20));
        };
        using Ready = V4l2Device::Ready;
        QCOMPARE(wait(), Ready::Timeout);
        node.raise();
        QCOMPARE(wait(), Ready::Device);
        // Raised twice before the capture thread looks: one clear answers both, and clearing
        // again does not block.
        wake.raise();
        wake.raise();
        QCOMPARE(wait(), Ready::Woken);
        wake.clear();
        QCOMPARE(wait(), Ready::Device);
        wake.clear();
        QCOMPARE(wait(), Ready::Device);
        ::close(high);
        QCOMPARE(wait(), Ready::Failed);
        ::close(high + 1);
    }

    void recordedCameraStreamsFrames()
    {
        RecordedNodes player;
        const QString path = QStringLiteral("/dev/video90");
        player.serve(path, RecordedDevices::documentCamera());
        const std::optional<V4l2DeviceDescription> description = V4l2Device::probe(path);
        const V4l2DeviceDescription recorded = RecordedDevices::documentCamera();
        QVERIFY(description && description->isVideoCapture());
        QCOMPARE(description->driver, recorded.driver);
        QCOMPARE(description->formats.size(), recorded.formats.size());
        QCOMPARE(description->formats[1].sizes.size(), recorded.formats[1].sizes.size());
        QCOMPARE(description->controls.size(), recorded.controls.size());
        // Current values are read, and menus keep their holes.
        QCOMPARE(description->control(V4L2_CID_CONTRAST)->value, 48);
        QCOMPARE(description->control(V4L2_CID_EXPOSURE_AUTO)->menuItems,
                 recorded.control(V4L2_CID_EXPOSURE_AUTO)->menuItems);
        const V4l2StreamFormat live = V4l2FormatChoice::liveFormat(*description);

        V4l2Device device;
        QCOMPARE(device.open(path), DocCam::Ok);
        QCOMPARE(device.startStreaming(live), DocCam::Ok);
        QImage frame;
        QCOMPARE(device.nextFrame(frame, 5000), V4l2Device::Wait::Frame);
        QCOMPARE(frame.size(), live.size);

        // A raised wake ends the wait before any frame, until it is cleared.
        V4l2WakeEvent wake;
        wake.raise();
        frame = QImage();
        QCOMPARE(device.nextFrame(frame, 5000, {}, wake.descriptor()), V4l2Device::Wait::Woken);
        QVERIFY(frame.isNull());
        wake.clear();
        QCOMPARE(device.nextFrame(frame, 5000, {}, wake.descriptor()), V4l2Device::Wait::Frame);
    }
};

VELORA_TEST_MAIN(TestV4l2Device)
#include "tst_v4l2device.moc"
