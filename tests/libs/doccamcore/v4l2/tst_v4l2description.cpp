#include "RecordedDevices.h"

#include <VeloraTest.h>
#include <v4l2/V4l2Camera.h>
#include <v4l2/V4l2ControlMap.h>
#include <v4l2/V4l2FormatChoice.h>

#include <DocCamManager.h>

#include <QLoggingCategory>
#include <QMutex>
#include <QThread>

#include <linux/videodev2.h>

using Control = CameraDevice::Control;
using Writes = QList<QPair<quint32, int>>;

Q_DECLARE_METATYPE(V4l2DeviceDescription)
Q_DECLARE_METATYPE(CameraDevice::Control)

namespace {

/// Two formats offering the same sizes and rates, to see which one wins a tie.
V4l2DeviceDescription tiedFormats(QSize size)
{
    const V4l2FrameSize offered{size, {{1, 30}}};
    V4l2DeviceDescription d;
    d.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    d.formats = {{V4L2_PIX_FMT_YUYV, QStringLiteral("YUYV"), {offered}},
                 {V4L2_PIX_FMT_MJPEG, QStringLiteral("MJPEG"), {offered}}};
    return d;
}

/// A plan's writes as id and value pairs, which compare and print.
Writes pairs(const QList<V4l2ControlMap::Write> &writes)
{
    Writes result;
    for (const V4l2ControlMap::Write &write : writes)
        result.append({write.id, write.value});
    return result;
}

} // namespace

class TestV4l2Description : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatsAndCapabilities_data()
    {
        QTest::addColumn<V4l2DeviceDescription>("device");
        QTest::addColumn<quint32>("liveFourcc");
        QTest::addColumn<QSize>("liveSize");
        QTest::addColumn<QSize>("stillSize");
        QTest::addColumn<quint32>("capabilities");
        const auto row = [](const char *name, const V4l2DeviceDescription &device, quint32 fourcc,
                            QSize live, QSize still, quint32 capabilities) {
            QTest::newRow(name) << device << fourcc << live << still << capabilities;
        };
        using namespace DocCam;
        // 8 MP only reaches 15 fps: the live picture is 1080p at 30 and stills use 8 MP.
        row("document camera", RecordedDevices::documentCamera(), V4L2_PIX_FMT_MJPEG,
            QSize(1920, 1080), QSize(3264, 2448),
            CapBrightness | CapContrast | CapExposure | CapAutoExposure | CapAutoWhiteBalance
                    | CapManualFocus | CapAutoFocus | CapZoom);
        // 720p comes at 10 fps only, so it is kept for stills.
        row("720p webcam", RecordedDevices::webcam720p(), V4L2_PIX_FMT_YUYV, QSize(640, 480),
            QSize(1280, 720), CapBrightness | CapContrast | CapAutoWhiteBalance);
        // The 60 fps modes do not pull the picture down to VGA, and H.264 is not decoded. Its
        // exposure is read-only, so neither exposure bit is set.
        row("conference camera", RecordedDevices::conferenceCamera(), V4L2_PIX_FMT_MJPEG,
            QSize(1920, 1080), QSize(),
            CapBrightness | CapContrast | CapAutoWhiteBalance | CapWhiteBalanceGain | CapMirror
                    | CapColorEffect | CapManualFocus | CapAutoFocus | CapZoom);
        row("tie at 720p goes to MJPEG", tiedFormats(QSize(1280, 720)), V4L2_PIX_FMT_MJPEG,
            QSize(1280, 720), QSize(), 0);
        row("tie below 720p goes to YUYV", tiedFormats(QSize(800, 600)), V4L2_PIX_FMT_YUYV,
            QSize(800, 600), QSize(), 0);
        row("metadata node has none", RecordedDevices::documentCameraMetadata(), 0, QSize(),
            QSize(), 0);
    }

    void formatsAndCapabilities()
    {
        QFETCH(V4l2DeviceDescription, device);
        QFETCH(quint32, liveFourcc);
        QFETCH(QSize, liveSize);
        QFETCH(QSize, stillSize);
        QFETCH(quint32, capabilities);
        QCOMPARE(V4l2ControlMap(device.controls).capabilities(), capabilities);
        // The controller enables its Auto focus button from the camera's capability byte.
        const std::unique_ptr<V4l2Camera, void (*)(V4l2Camera *)> camera(
                new V4l2Camera(nullptr, {}, device), [](V4l2Camera *c) { c->release(); });
        QCOMPARE(camera->capabilityByte(), (capabilities & DocCam::CapAutoFocus) ? 0x01 : 0x00);

        const V4l2StreamFormat live = V4l2FormatChoice::liveFormat(device);
        QCOMPARE(live.isValid(), liveFourcc != 0);
        if (!live.isValid())
            return;
        QCOMPARE(live.pixelFormat, liveFourcc);
        QCOMPARE(live.size, liveSize);
        QCOMPARE(live.frameRate(), 30.0);
        QCOMPARE(live.videoFormat().size, liveSize);
        const V4l2StreamFormat still = V4l2FormatChoice::stillFormat(device, live);
        QCOMPARE(still.isValid(), !stillSize.isEmpty());
        if (still.isValid())
            QCOMPARE(still.size, stillSize);
    }

    void requestedFormat_data()
    {
        QTest::addColumn<QSize>("requestedSize");
        QTest::addColumn<double>("requestedRate");
        QTest::addColumn<quint32>("fourcc");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("rate");
        const auto row = [](const char *name, QSize asked, double askedRate, quint32 fourcc,
                            QSize size, double rate) {
            QTest::newRow(name) << asked << askedRate << fourcc << size << rate;
        };
        const QSize hd(1280, 720);
        const QSize fullHd(1920, 1080);
        row("nothing asked gives live", QSize(), 0, V4L2_PIX_FMT_MJPEG, fullHd, 30);
        row("offered size at useful rate", hd, 0, V4L2_PIX_FMT_MJPEG, hd, 30);
        row("offered size, rate asked", hd, 15, V4L2_PIX_FMT_MJPEG, hd, 15);
        row("VGA in both formats takes YUYV", QSize(640, 480), 30, V4L2_PIX_FMT_YUYV,
            QSize(640, 480), 30);
        row("size not offered gives live", QSize(1000, 1000), 30, V4L2_PIX_FMT_MJPEG, fullHd, 30);
    }

    void requestedFormat()
    {
        QFETCH(QSize, requestedSize);
        QFETCH(double, requestedRate);
        QFETCH(quint32, fourcc);
        QFETCH(QSize, size);
        QFETCH(double, rate);
        const V4l2StreamFormat chosen = V4l2FormatChoice::streamFormat(
                RecordedDevices::documentCamera(), {requestedSize, requestedRate});
        QCOMPARE(chosen.pixelFormat, fourcc);
        QCOMPARE(chosen.size, size);
        QCOMPARE(chosen.frameRate(), rate);
    }

    void levelsStayOnTheStepGridAndSurviveARoundTrip()
    {
        // Focus 0..255 in steps of 5, inverted: level 0 is the nearest, the top of the range.
        const V4l2ControlMap map(RecordedDevices::conferenceCamera().controls);
        const V4l2ControlInfo brightness = RecordedDevices::webcam720p().controls.first();
        for (int level = 0; level <= 100; ++level) {
            const int focus = map.plan(Control::Focus, level).writes.last().value;
            QVERIFY2(focus % 5 == 0 && focus >= 0 && focus <= 255,
                     qPrintable(QString::number(focus)));
            QCOMPARE(V4l2ControlMap::toLevel(V4l2ControlMap::toDevice(level, brightness),
                                             brightness),
                     level);
        }
        QCOMPARE(map.plan(Control::Focus, 0).writes.last().value, 255);
        QCOMPARE(map.plan(Control::Focus, 100).writes.last().value, 0);
        const V4l2ControlInfo zoom
                = *RecordedDevices::conferenceCamera().control(V4L2_CID_ZOOM_ABSOLUTE);
        // 400 device steps over 700 ratio points: back within half a step.
        for (int ratio = 100; ratio <= 800; ratio += 25) {
            const double back = 100
                    * V4l2ControlMap::zoomFromDevice(V4l2ControlMap::zoomToDevice(ratio, zoom),
                                                     zoom);
            QVERIFY2(qAbs(back - ratio) <= 0.875 + 1e-9, qPrintable(QString::number(back)));
        }
    }

    void writePlans_data()
    {
        QTest::addColumn<V4l2DeviceDescription>("device");
        QTest::addColumn<Control>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("inHardware");
        QTest::addColumn<Writes>("expected");

        const auto docCam = RecordedDevices::documentCamera();
        const auto webcam = RecordedDevices::webcam720p();
        const auto conference = RecordedDevices::conferenceCamera();

        const auto row = [](const char *name, const V4l2DeviceDescription &device, Control control,
                            int value, bool inHardware, const Writes &writes) {
            QTest::newRow(name) << device << control << value << inHardware << writes;
        };
        // Levels of 0 to 100 (zoom ratios times 100) spread over the device's range.
        const auto level = [&](const char *name, Control control, int value, std::uint32_t id,
                               int deviceValue) {
            row(name, docCam, control, value, true, {{id, deviceValue}});
        };
        level("brightness 0", Control::Brightness, 0, V4L2_CID_BRIGHTNESS, -64);
        level("brightness 50", Control::Brightness, 50, V4L2_CID_BRIGHTNESS, 0);
        level("brightness 100", Control::Brightness, 100, V4L2_CID_BRIGHTNESS, 64);
        level("brightness past the top", Control::Brightness, 130, V4L2_CID_BRIGHTNESS, 64);
        level("contrast 33 of 0..64", Control::Contrast, 33, V4L2_CID_CONTRAST, 21);
        level("exposure 10 of 1..5000", Control::Exposure, 10, V4L2_CID_EXPOSURE_ABSOLUTE, 501);
        level("zoom 1x", Control::Zoom, 100, V4L2_CID_ZOOM_ABSOLUTE, 0);
        level("zoom 4.5x of 0..30", Control::Zoom, 450, V4L2_CID_ZOOM_ABSOLUTE, 15);
        level("zoom 8x", Control::Zoom, 800, V4L2_CID_ZOOM_ABSOLUTE, 30);
        // The device ignores a position while it focuses continuously.
        row("focus turns continuous focus off", docCam, Control::Focus, 100, true,
            {{V4L2_CID_FOCUS_AUTO, 0}, {V4L2_CID_FOCUS_ABSOLUTE, 0}});
        row("autofocus switches continuous focus on", docCam, Control::AutoFocus, 1, true,
            {{V4L2_CID_FOCUS_AUTO, 1}});
        row("autofocus presses the one-shot button", conference, Control::AutoFocus, 1, true,
            {{V4L2_CID_AUTO_FOCUS_START, 1}});
        row("auto exposure on picks aperture priority", docCam, Control::AutoExposure, 1, true,
            {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}});
        row("auto exposure off is manual", docCam, Control::AutoExposure, 0, true,
            {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}});
        row("mirror in hardware", conference, Control::Mirror, 1, true, {{V4L2_CID_HFLIP, 1}});
        row("negative in hardware", conference, Control::ColorEffect, DocCam::ColorEffectNegative,
            true, {{V4L2_CID_COLORFX, V4L2_COLORFX_NEGATIVE}});
        row("red gain", conference, Control::RedGain, 50, true, {{V4L2_CID_RED_BALANCE, 2048}});
        // What the device lacks is left to the library.
        row("webcam zoom", webcam, Control::Zoom, 200, false, {});
        row("webcam mirror", webcam, Control::Mirror, 1, false, {});
        row("webcam colour effect", webcam, Control::ColorEffect, DocCam::ColorEffectNegative,
            false, {});
        row("read-only exposure", conference, Control::Exposure, 50, false, {});
        row("rotation", conference, Control::Rotation, 90, false, {});
        row("camera mode", docCam, Control::CameraMode, DocCam::ModeMacro, false, {});
        // A negative done in software must not be drawn over the camera's own black and white.
        V4l2DeviceDescription blackAndWhiteOnly = conference;
        for (V4l2ControlInfo &info : blackAndWhiteOnly.controls) {
            if (info.id == V4L2_CID_COLORFX) {
                info.maximum = V4L2_COLORFX_BW;
                info.menuItems = {V4L2_COLORFX_NONE, V4L2_COLORFX_BW};
            }
        }
        row("negative in software switches the device effect off", blackAndWhiteOnly,
            Control::ColorEffect, DocCam::ColorEffectNegative, false,
            {{V4L2_CID_COLORFX, V4L2_COLORFX_NONE}});
        row("black and white in hardware", blackAndWhiteOnly, Control::ColorEffect,
            DocCam::ColorEffectBlackWhite, true, {{V4L2_CID_COLORFX, V4L2_COLORFX_BW}});
    }

    void writePlans()
    {
        QFETCH(V4l2DeviceDescription, device);
        QFETCH(Control, control);
        QFETCH(int, value);
        QFETCH(bool, inHardware);
        QFETCH(Writes, expected);

        const V4l2ControlMap::Plan plan = V4l2ControlMap(device.controls).plan(control, value);
        QCOMPARE(plan.inHardware, inHardware);
        QCOMPARE(pairs(plan.writes), expected);
    }

    void controlWritesAnswerAtOnceAndRunInOrderOffTheCallersThread()
    {
        // /dev/null opens but refuses every control: each write is refused, and says so.
        static QMutex mutex;
        static QList<QPair<QString, QThread *>> refusals;
        refusals.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("velora.doccam.v4l2.camera.info=true"));
        const QtMessageHandler previous = qInstallMessageHandler(
                [](QtMsgType, const QMessageLogContext &context, const QString &message) {
                    if (QByteArrayView(context.category) == "velora.doccam.v4l2.camera") {
                        QMutexLocker lock(&mutex);
                        refusals.append({message, QThread::currentThread()});
                    }
                });
        DocCamManager *manager = DocCamManager::getDocCamManager({});
        CameraDevice::Identity identity;
        identity.key = QStringLiteral("/dev/null");
        auto *camera = new V4l2Camera(manager, identity, RecordedDevices::documentCamera());
        QCOMPARE(camera->setBrightness(70), DocCam::Ok);
        QCOMPARE(camera->setContrast(30), DocCam::Ok);
        QCOMPARE(camera->brightness(), 70);
        // Given back with its writes queued: they run first, then the camera goes (once the
        // manager has told the listeners of the changes, which hold it meanwhile).
        camera->release();
        manager->waitForIdle();
        manager->release();
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());

        QCOMPARE(refusals.size(), 2);
        QVERIFY(refusals.at(0).first.contains(QString::number(V4L2_CID_BRIGHTNESS, 16)));
        QVERIFY(refusals.at(1).first.contains(QString::number(V4L2_CID_CONTRAST, 16)));
        for (const auto &[message, thread] : std::as_const(refusals))
            QVERIFY(thread != QThread::currentThread());
    }

    void currentValuesReadBackAsLevels()
    {
        const V4l2DeviceDescription device = RecordedDevices::documentCamera();
        const V4l2ControlMap map(device.controls);
        QMap<std::uint32_t, int> values;
        for (std::uint32_t id : map.mappedIds())
            values.insert(id, device.control(id)->value);
        values.insert(V4L2_CID_ZOOM_ABSOLUTE, 15);
        values.insert(V4L2_CID_FOCUS_ABSOLUTE, 1023);

        const V4l2ControlMap::Levels levels = map.levels(values);
        QCOMPARE(levels.brightness, std::optional<int>(50));
        QCOMPARE(levels.contrast, std::optional<int>(75)); // 48 of 0..64
        QCOMPARE(levels.autoExposure, std::optional<bool>(true)); // aperture priority
        QCOMPARE(levels.autoWhiteBalance, std::optional<bool>(true));
        QCOMPARE(levels.focus, std::optional<int>(0)); // the top of the range is nearest
        QCOMPARE(levels.zoomRatio, std::optional<double>(4.5));
        // The camera has none of these; the library keeps its own values.
        QVERIFY(!levels.mirror);
        QVERIFY(!levels.colorEffect);
        QVERIFY(!levels.redGain);

        values.insert(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL);
        QCOMPARE(map.levels(values).autoExposure, std::optional<bool>(false));
    }
};

VELORA_TEST_MAIN(TestV4l2Description)
#include "tst_v4l2description.moc"
