#include "RecordedDevices.h"

#include <UnusableCameras.h>
#include <VeloraTest.h>
#include <v4l2/V4l2Classification.h>
#include <v4l2/V4l2DeviceTracker.h>

#include <QTemporaryFile>

#include <linux/videodev2.h>

using Decision = V4l2DeviceTracker::Decision;
using Action = V4l2NodeEvent::Action;

namespace {

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

Q_DECLARE_METATYPE(V4l2NodeEvent)

class TestV4l2Hotplug : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        const QString metadata = QStringLiteral("video1");
        row("metadata node",
            {documentCameraNode(Action::Add, metadata),
             documentCameraNode(Action::Remove, metadata)},
            {"ignore", "ignore"});
        V4l2NodeEvent readOnly = add;
        readOnly.description->deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
        row("node without streaming", {readOnly}, {"ignore"});
        V4l2NodeEvent unopened = add;
        unopened.description.reset();
        row("node that could not be opened", {unopened, remove}, {"ignore", "ignore"});
        // udev may repeat itself: a camera leaves once, and arrives again when plugged in again.
        row("removal", {add, remove, remove, add}, {"arrive", "leave", "ignore", "arrive"});
        row("seen by enumeration and monitor", {add, add}, {"arrive", "unprobed"});
        row("change event", {add, documentCameraNode(Action::Other), remove},
            {"arrive", "ignore", "leave"});
        for (const char *sysname : {"v4l-subdev0", "radio0", "vbi0"})
            row(sysname,
                {node(Action::Add, QLatin1String(sysname), hex(0x046d), hex(0x0825),
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
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("vendorId");
        QTest::addColumn<bool>("documentCamera");
        for (const auto &known : V4l2Classification::knownDocumentCameras())
            QTest::addRow("known %04x:%04x", known.vendorId, known.productId)
                    << hex(known.vendorId) << QStringLiteral("Camera") << QString()
                    << QStringLiteral("Camera") << int(known.vendorId) << true;
        const auto row = [](const char *tag, const char *vendor, const char *card,
                            const char *pattern, const char *name, int vendorId, bool doc) {
            QTest::newRow(tag) << vendor << card << pattern << name << vendorId << doc;
        };
        row("unknown ids", "046d", "UVC Camera", "", "UVC Camera", 0x046d, false);
        row("name says document camera", "2b46", "USB Document Camera", "", "USB Document Camera",
            0x2b46, true);
        row("name says visualiser", "046d", "Visualiser 2", "", "Visualiser 2", 0x046d, true);
        row("any product of a document camera maker", "1778", "VZ-R", "", "VZ-R", 0x1778, true);
        row("pattern in any case", "046d", "Lab Cam 2", "LAB CAM", "Lab Cam 2", 0x046d, true);
        row("pattern not in name", "046d", "HD Pro Webcam C920", "lab cam", "HD Pro Webcam C920",
            0x046d, false);
        row("blank pattern matches nothing", "046d", "HD  Webcam", "  ", "HD  Webcam", 0x046d,
            false);
        row("repeated UVC name", "0bda", "HD WebCam: HD WebCam", "", "HD WebCam", 0x0bda, false);
        row("truncated repeat kept", "0bda", "USB Document Camera: USB Document", "",
            "USB Document Camera: USB Document", 0x0bda, true);
        row("no card name: the udev model", "0bda", "", "", "USB Camera", 0x0bda, false);
        row("upper-case id", "0BDA", "HD WebCam", "", "HD WebCam", 0x0bda, false);
        row("missing id", "", "HD WebCam", "", "HD WebCam", 0, false);
        row("id not hexadecimal", "zz12", "HD WebCam", "", "HD WebCam", 0, false);
        row("id too large", "12345", "HD WebCam", "", "HD WebCam", 0, false);
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
        QCOMPARE(identity.modelName, name);
        QCOMPARE(identity.vendorId, quint16(vendorId));
        QCOMPARE(identity.productId, quint16(0x0825));
        QCOMPARE(identity.locationId, V4l2Classification::locationId(DocCamPath));
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
        tracker.handle(event);
        QCOMPARE(UnusableCameras::instance()->text(), QString());
    }

    void locationIdIsStableAcrossRuns()
    {
        // Stored in the settings, so it must not depend on a per-process hash seed: this is
        // the 32-bit FNV-1a of the path.
        QCOMPARE(V4l2Classification::locationId(DocCamPath), 0x020aa078u);
        QVERIFY(V4l2Classification::locationId(QStringLiteral("pci-0000:00:14.0-usb-0:3:1.0"))
                != V4l2Classification::locationId(DocCamPath));
    }
};

VELORA_TEST_MAIN(TestV4l2Hotplug)
#include "tst_v4l2hotplug.moc"
