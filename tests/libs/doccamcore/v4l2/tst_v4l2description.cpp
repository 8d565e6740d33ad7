#include "RecordedDevices.h"

#include <UnusableCameras.h>
#include <VeloraTest.h>
#include <v4l2/V4l2Camera.h>
#include <v4l2/V4l2Classification.h>
#include <v4l2/V4l2ControlMap.h>
#include <v4l2/V4l2DeviceTracker.h>
#include <v4l2/V4l2FormatChoice.h>

#include <DocCamManager.h>

#include <QLoggingCategory>
#include <QMutex>
#include <QTemporaryFile>
#include <QThread>

#include <linux/videodev2.h>

using Action = V4l2NodeEvent::Action;
using Control = CameraDevice::Control;
using Decision = V4l2DeviceTracker::Decision;
using Writes = QList<QPair<quint32, int>>;

Q_DECLARE_METATYPE(V4l2DeviceDescription)
Q_DECLARE_METATYPE(CameraDevice::Control)
Q_DECLARE_METATYPE(V4l2NodeEvent)

namespace {

/// Two formats offering the same sizes and rates, to see which one wins a tie.
V4l2DeviceDescription tiedFormats(QSize size)
{
    const V4l2FrameSize offered{size, {{1, 30}}};
    V4l2DeviceDescription d;
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

const QString DocCamPath = QStringLiteral("pci-0000:00:14.0-usb-0:2:1.0");
/// Set in the copy of this program that runs as an ordinary user: the node it is to probe.
constexpr char ChildNodeVariable[] = "VELORA_TEST_CHILD_NODE";

/// A udev event for a video node; an arrival carries what the node answered when probed.
V4l2NodeEvent node(Action action, const QString &sysname, const QString &vendor,
                   const QString &product, const V4l2DeviceDescription &description)
{
    V4l2NodeEvent event;
    event.action = action;
    event.sysname = sysname;
    event.devnode = QStringLiteral("/dev/") + sysname;
    event.vendorId = vendor;
    event.productId = product;
    event.udevModel = QStringLiteral("USB_Camera");
    event.usbPath = DocCamPath;
    event.serialNumber = QStringLiteral("A1B2");
    if (action == Action::Add)
        event.description = description;
    return event;
}

QString hex(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

/// The document camera's capture node (video0) or its metadata node (video1).
V4l2NodeEvent documentCameraNode(Action action, const QString &sysname = QStringLiteral("video0"))
{
    const auto known = V4l2Classification::knownDocumentCameras().front();
    return node(action, sysname, hex(known.vendorId), hex(known.productId),
                sysname == QLatin1String("video1") ? RecordedDevices::documentCameraMetadata()
                                                   : RecordedDevices::documentCamera());
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
        QCOMPARE(live.pixelFormat, liveFourcc);
        QCOMPARE(live.size, liveSize);
        const V4l2StreamFormat still = V4l2FormatChoice::stillFormat(device, live);
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

    void levelsStayOnTheStepGridSurviveARoundTripAndReadBack()
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
        const V4l2ControlInfo zoom
                = *RecordedDevices::conferenceCamera().control(V4L2_CID_ZOOM_ABSOLUTE);
        // 400 device steps over 700 ratio points: back within half a step.
        for (int ratio = 100; ratio <= 800; ratio += 25) {
            const double back = 100
                    * V4l2ControlMap::zoomFromDevice(V4l2ControlMap::zoomToDevice(ratio, zoom),
                                                     zoom);
            QVERIFY2(qAbs(back - ratio) <= 0.875 + 1e-9, qPrintable(QString::number(back)));
        }

        // What a camera reports reads back as levels.
        const V4l2DeviceDescription device = RecordedDevices::documentCamera();
        const V4l2ControlMap docCam(device.controls);
        QMap<std::uint32_t, int> values;
        for (std::uint32_t id : docCam.mappedIds())
            values.insert(id, device.control(id)->value);
        values.insert(V4L2_CID_ZOOM_ABSOLUTE, 15);
        values.insert(V4L2_CID_FOCUS_ABSOLUTE, 1023);

        const V4l2ControlMap::Levels levels = docCam.levels(values);
        QCOMPARE(levels.brightness, std::optional<int>(50));
        QCOMPARE(levels.contrast, std::optional<int>(75)); // 48 of 0..64
        QCOMPARE(levels.autoExposure, std::optional<bool>(true)); // aperture priority
        QCOMPARE(levels.autoWhiteBalance, std::optional<bool>(true));
        QCOMPARE(levels.focus, std::optional<int>(0)); // the top of the range is nearest
        QCOMPARE(levels.zoomRatio, std::optional<double>(4.5));
        // The camera has no mirror; the library keeps its own value.
        QVERIFY(!levels.mirror);

        values.insert(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL);
        QCOMPARE(docCam.levels(values).autoExposure, std::optional<bool>(false));
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
        level("brightness past the top", Control::Brightness, 130, V4L2_CID_BRIGHTNESS, 64);
        level("exposure 10 of 1..5000", Control::Exposure, 10, V4L2_CID_EXPOSURE_ABSOLUTE, 501);
        level("zoom 4.5x of 0..30", Control::Zoom, 450, V4L2_CID_ZOOM_ABSOLUTE, 15);
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

    void trackerDecisions_data()
    {
        QTest::addColumn<QList<V4l2NodeEvent>>("events");
        // "unprobed" for an arrival the backend is told not to open.
        QTest::addColumn<QStringList>("decisions");
        const auto row = [](const char *name, const QList<V4l2NodeEvent> &events,
                            const QStringList &decisions) {
            QTest::newRow(name) << events << decisions;
        };
        const V4l2NodeEvent add = documentCameraNode(Action::Add);
        const V4l2NodeEvent remove = documentCameraNode(Action::Remove);
        // A UVC camera's metadata node can only be told by probing it.
        row("metadata node",
            {documentCameraNode(Action::Add, QStringLiteral("video1")),
             documentCameraNode(Action::Remove, QStringLiteral("video1"))},
            {"ignore", "ignore"});
        V4l2NodeEvent readOnly = add;
        readOnly.description->deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
        row("node without streaming", {readOnly}, {"ignore"});
        // udev may repeat itself: a camera leaves once, and arrives again when plugged in again.
        V4l2NodeEvent unopened = add;
        unopened.description.reset();
        row("node that could not be opened", {unopened, remove}, {"ignore", "ignore"});
        row("removal", {add, remove, remove, add}, {"arrive", "leave", "ignore", "arrive"});
        row("seen by enumeration and monitor", {add, add}, {"arrive", "unprobed"});
        row("change event", {add, documentCameraNode(Action::Other), remove},
            {"arrive", "ignore", "leave"});
        row("not a video node",
            {node(Action::Add, QStringLiteral("v4l-subdev0"), hex(0x046d), hex(0x0825),
                  RecordedDevices::documentCamera())},
            {"unprobed"});
    }

    void trackerDecisions()
    {
        QFETCH(QList<V4l2NodeEvent>, events);
        QFETCH(QStringList, decisions);
        V4l2DeviceTracker tracker(true, QString());
        QStringList made;
        for (const V4l2NodeEvent &event : events) {
            const bool unprobed = event.action == Action::Add && !tracker.wantsProbe(event);
            const int kind = int(tracker.handle(event).kind);
            made.append(unprobed ? "unprobed" : QStringList{"ignore", "arrive", "leave"}.at(kind));
        }
        QCOMPARE(made, decisions);
    }

    void identityAndKind_data()
    {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name"); // empty: the card's name as it is
        QTest::addColumn<int>("vendorId");
        QTest::addColumn<bool>("documentCamera");
        for (const auto &known : V4l2Classification::knownDocumentCameras())
            QTest::addRow("known %04x:%04x", known.vendorId, known.productId)
                    << hex(known.vendorId) << QStringLiteral("Camera") << QString() << QString()
                    << int(known.vendorId) << true;
        const auto row = [](const char *tag, const char *vendor, const char *card,
                            const char *pattern, const char *name, int vendorId, bool doc) {
            QTest::newRow(tag) << vendor << card << pattern << name << vendorId << doc;
        };
        row("unknown ids", "046d", "UVC Camera", "", "", 0x046d, false);
        row("name says document camera", "2b46", "USB Document Camera", "", "", 0x2b46, true);
        row("any product of a document camera maker", "1778", "VZ-R", "", "", 0x1778, true);
        row("pattern in any case", "046d", "Lab Cam 2", "LAB CAM", "", 0x046d, true);
        row("pattern not in name", "046d", "HD Pro Webcam C920", "lab cam", "", 0x046d, false);
        row("blank pattern matches nothing", "046d", "HD  Webcam", "  ", "", 0x046d, false);
        row("repeated UVC name", "0bda", "HD WebCam: HD WebCam", "", "HD WebCam", 0x0bda, false);
        row("truncated repeat kept", "0bda", "USB Document Camera: USB Document", "", "", 0x0bda,
            true);
        row("no card name: the udev model", "0bda", "", "", "USB Camera", 0x0bda, false);
        row("id not hexadecimal", "zz12", "HD WebCam", "", "", 0, false);
        row("id too large", "12345", "HD WebCam", "", "", 0, false);
    }

    void identityAndKind()
    {
        QFETCH(QString, vendor);
        QFETCH(QString, card);
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(int, vendorId);
        QFETCH(bool, documentCamera);
        V4l2DeviceDescription description = RecordedDevices::webcam720p();
        description.card = card;
        const V4l2NodeEvent event
                = node(Action::Add, QStringLiteral("video2"), vendor, hex(0x0825), description);
        // Each camera is reported by the tracker of its kind alone.
        const Decision asDocumentCamera = V4l2DeviceTracker(true, pattern).handle(event);
        const Decision asWebcam = V4l2DeviceTracker(false, pattern).handle(event);
        QCOMPARE(asDocumentCamera.kind == Decision::Kind::Arrive, documentCamera);
        QCOMPARE(asWebcam.kind == Decision::Kind::Arrive, !documentCamera);
        const CameraDevice::Identity &identity
                = (documentCamera ? asDocumentCamera : asWebcam).identity;
        QCOMPARE(identity.key, QStringLiteral("/dev/video2"));
        QCOMPARE(identity.modelName, name.isEmpty() ? card : name);
        QCOMPARE(identity.vendorId, quint16(vendorId));
        QCOMPARE(identity.productId, quint16(0x0825));
        // Stored in the settings, so it must not depend on a per-process hash seed: this is the
        // 32-bit FNV-1a of the path.
        QCOMPARE(identity.locationId, 0x020aa078u);
        QCOMPARE(identity.serialNumber, QStringLiteral("A1B2"));
        QCOMPARE(identity.documentCamera, documentCamera);
    }

    void unusableNodeIsExplained_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("not allowed") << "Camera found but not allowed: %1";
        QTest::newRow("no usable format")
                << "Camera found but its picture format is not supported: %1";
    }

    void unusableNodeIsExplained()
    {
        QFETCH(QString, problem);
        V4l2NodeEvent event = documentCameraNode(Action::Add);
        QTemporaryFile rootOnlyNode; // 0600, owned by root
        if (QTest::currentDataTag() == QLatin1String("not allowed")) {
            // Root opens anything: the real probe runs in a copy of this program as an ordinary
            // user, whose failure is this one's.
            if (!VeloraTest::inRerun()) {
                QVERIFY(rootOnlyNode.open());
                QVERIFY(VeloraTest::rerunCurrentTest(
                        VeloraTest::asNobody(),
                        {QLatin1String(ChildNodeVariable) + u'=' + rootOnlyNode.fileName()}));
                return;
            }
            event.devnode = qEnvironmentVariable(ChildNodeVariable);
            V4l2DeviceTracker::probe(event);
        } else {
            for (V4l2PixelFormat &format : event.description->formats)
                format.fourcc = V4l2::fourcc('H', '2', '6', '4');
        }
        V4l2DeviceTracker tracker(true, QString());
        QCOMPARE(tracker.handle(event).kind, Decision::Kind::Ignore);
        QCOMPARE(UnusableCameras::instance()->text(), problem.arg(event.devnode));
        // Once the node has gone, nothing is said about it.
        event.action = Action::Remove;
        QCOMPARE(tracker.handle(event).kind, Decision::Kind::Ignore);
        QCOMPARE(UnusableCameras::instance()->text(), QString());
    }
};

VELORA_TEST_MAIN(TestV4l2Description)
#include "tst_v4l2description.moc"
