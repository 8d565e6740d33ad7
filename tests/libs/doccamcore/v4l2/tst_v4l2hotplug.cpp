#include "RecordedDevices.h"

#include <VeloraTest.h>
#include <v4l2/V4l2Classification.h>
#include <v4l2/V4l2DeviceTracker.h>

#include <linux/videodev2.h>

using Decision = V4l2DeviceTracker::Decision;
using Action = V4l2NodeEvent::Action;

namespace {

const QString DocCamPath = QStringLiteral("pci-0000:00:14.0-usb-0:2:1.0");

/// A udev event for the document camera's capture node, probed as it answers.
V4l2NodeEvent documentCameraNode(Action action, const QString &node = QStringLiteral("video0"))
{
    const V4l2Classification::KnownDocumentCamera known
            = V4l2Classification::knownDocumentCameras().front();
    V4l2NodeEvent event;
    event.action = action;
    event.sysname = node;
    event.devnode = QStringLiteral("/dev/") + node;
    event.vendorId = QStringLiteral("%1").arg(known.vendorId, 4, 16, QLatin1Char('0'));
    event.productId = QStringLiteral("%1").arg(known.productId, 4, 16, QLatin1Char('0'));
    event.udevModel = QStringLiteral("USB_Document_Camera");
    event.usbPath = DocCamPath;
    if (action == Action::Add)
        event.description = node == QLatin1String("video1")
                ? RecordedDevices::documentCameraMetadata()
                : RecordedDevices::documentCamera();
    return event;
}

V4l2NodeEvent webcamNode(Action action)
{
    V4l2NodeEvent event;
    event.action = action;
    event.sysname = QStringLiteral("video2");
    event.devnode = QStringLiteral("/dev/video2");
    event.vendorId = QStringLiteral("0bda");
    event.productId = QStringLiteral("58b0");
    event.udevModel = QStringLiteral("HD_WebCam");
    event.usbPath = QStringLiteral("pci-0000:00:14.0-usb-0:5:1.0");
    if (action == Action::Add)
        event.description = RecordedDevices::webcam720p();
    return event;
}

} // namespace

Q_DECLARE_METATYPE(V4l2NodeEvent)

class TestV4l2Hotplug : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captureNodeArrivesWithItsIdentity()
    {
        V4l2DeviceTracker tracker(true, QString());
        const V4l2NodeEvent event = documentCameraNode(Action::Add);
        QVERIFY(tracker.wantsProbe(event));

        const Decision decision = tracker.handle(event);
        QCOMPARE(decision.kind, Decision::Kind::Arrive);
        const auto known = V4l2Classification::knownDocumentCameras().front();
        QCOMPARE(decision.identity.key, QStringLiteral("/dev/video0"));
        QCOMPARE(decision.identity.vendorId, known.vendorId);
        QCOMPARE(decision.identity.productId, known.productId);
        QCOMPARE(decision.identity.locationId, V4l2Classification::locationId(DocCamPath));
        QCOMPARE(decision.identity.modelName, QStringLiteral("USB Document Camera: USB Document"));
        QVERIFY(decision.identity.documentCamera);
        QVERIFY(tracker.knows(event.devnode));

        const Decision webcam = V4l2DeviceTracker(false, QString()).handle(webcamNode(Action::Add));
        QCOMPARE(webcam.kind, Decision::Kind::Arrive);
        QVERIFY(!webcam.identity.documentCamera);
        QCOMPARE(webcam.identity.modelName, QStringLiteral("HD WebCam"));
        QCOMPARE(webcam.identity.vendorId, quint16(0x0bda));
    }

    void trackerDecisions_data()
    {
        QTest::addColumn<bool>("documentCameras");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QList<V4l2NodeEvent>>("events");
        // "unprobed" for an arrival the backend is told not to open.
        QTest::addColumn<QStringList>("decisions");
        const V4l2NodeEvent add = documentCameraNode(Action::Add);
        const V4l2NodeEvent remove = documentCameraNode(Action::Remove);
        const V4l2NodeEvent webcam = webcamNode(Action::Add);
        const auto row = [](const char *name, bool documentCameras, const QString &pattern,
                            const QList<V4l2NodeEvent> &events, const QStringList &decisions) {
            QTest::newRow(name) << documentCameras << pattern << events << decisions;
        };
        // A UVC camera's metadata node can only be told by probing it.
        row("metadata node", true, {},
            {documentCameraNode(Action::Add, QStringLiteral("video1")),
             documentCameraNode(Action::Remove, QStringLiteral("video1"))},
            {"ignore", "ignore"});
        V4l2NodeEvent readOnly = webcam;
        readOnly.description->deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
        row("node without streaming", false, {}, {readOnly}, {"ignore"});
        V4l2NodeEvent unopened = add;
        unopened.description.reset();
        row("node that could not be opened", true, {}, {unopened, remove}, {"ignore", "ignore"});
        // udev may repeat itself: a camera leaves once, and arrives again when plugged in again.
        row("removal", true, {}, {add, remove, remove, add},
            {"arrive", "leave", "ignore", "arrive"});
        row("seen by enumeration and monitor", true, {}, {add, add}, {"arrive", "unprobed"});
        row("change event", true, {}, {add, documentCameraNode(Action::Other), remove},
            {"arrive", "ignore", "leave"});
        for (const char *sysname : {"v4l-subdev0", "radio0", "vbi0"}) {
            V4l2NodeEvent other = webcam;
            other.sysname = QLatin1String(sysname);
            other.devnode = QStringLiteral("/dev/") + other.sysname;
            row(sysname, false, {}, {other}, {"unprobed"});
        }
        row("webcam to document cameras", true, {}, {webcam}, {"ignore"});
        row("document camera to webcams", false, {}, {add, remove}, {"ignore", "ignore"});
        row("pattern makes a document camera", true, "hd webcam", {webcam}, {"arrive"});
        row("pattern takes a webcam", false, "hd webcam", {webcam}, {"ignore"});
    }

    void trackerDecisions()
    {
        QFETCH(bool, documentCameras);
        QFETCH(QString, pattern);
        QFETCH(QList<V4l2NodeEvent>, events);
        QFETCH(QStringList, decisions);
        V4l2DeviceTracker tracker(documentCameras, pattern);
        QStringList made;
        for (const V4l2NodeEvent &event : events) {
            const bool unprobed = event.action == Action::Add && !tracker.wantsProbe(event);
            const int kind = int(tracker.handle(event).kind);
            made.append(unprobed ? "unprobed" : QStringList{"ignore", "arrive", "leave"}.at(kind));
        }
        QCOMPARE(made, decisions);
    }

    void classification_data()
    {
        QTest::addColumn<quint16>("vendorId");
        QTest::addColumn<quint16>("productId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("documentCamera");

        for (const auto &known : V4l2Classification::knownDocumentCameras())
            QTest::addRow("known %04x:%04x", known.vendorId, known.productId)
                    << known.vendorId << known.productId << QStringLiteral("Camera") << QString()
                    << true;
        QTest::newRow("unknown ids")
                << quint16(0x046d) << quint16(0x0825) << QStringLiteral("UVC Camera (046d:0825)")
                << QString() << false;
        QTest::newRow("pattern in any case")
                << quint16(0x046d) << quint16(0x0825) << QStringLiteral("Lab Visualiser 2")
                << QStringLiteral("VISUALISER") << true;
        QTest::newRow("name says document camera")
                << quint16(0x2b46) << quint16(0x0001) << QStringLiteral("USB Document Camera")
                << QString() << true;
        QTest::newRow("any product of a document camera maker")
                << quint16(0x1778) << quint16(0x0210) << QStringLiteral("VZ-R") << QString()
                << true;
        QTest::newRow("pattern not in name")
                << quint16(0x046d) << quint16(0x0825) << QStringLiteral("HD Pro Webcam C920")
                << QStringLiteral("visualiser") << false;
        QTest::newRow("blank pattern matches nothing")
                << quint16(0x046d) << quint16(0x0825) << QStringLiteral("HD Pro Webcam C920")
                << QStringLiteral("  ") << false;
    }

    void classification()
    {
        QFETCH(quint16, vendorId);
        QFETCH(quint16, productId);
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, documentCamera);
        QCOMPARE(V4l2Classification::isDocumentCamera(vendorId, productId, name, pattern),
                 documentCamera);
    }

    void locationIdIsStableAcrossRuns()
    {
        // Stored in the settings, so it must not depend on a per-process hash seed: this is
        // the 32-bit FNV-1a of the path.
        QCOMPARE(V4l2Classification::locationId(DocCamPath), 0x020aa078u);
        QVERIFY(V4l2Classification::locationId(QStringLiteral("pci-0000:00:14.0-usb-0:3:1.0"))
                != V4l2Classification::locationId(DocCamPath));
    }

    void modelNames_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("udevModel");
        QTest::addColumn<QString>("name");
        QTest::newRow("repeated UVC name") << QStringLiteral("HD WebCam: HD WebCam") << QString()
                                           << QStringLiteral("HD WebCam");
        QTest::newRow("truncated repeat kept")
                << QStringLiteral("USB Document Camera: USB Document") << QString()
                << QStringLiteral("USB Document Camera: USB Document");
        QTest::newRow("no card name")
                << QString() << QStringLiteral("USB_Camera") << QStringLiteral("USB Camera");
    }

    void modelNames()
    {
        QFETCH(QString, card);
        QFETCH(QString, udevModel);
        QFETCH(QString, name);
        QCOMPARE(V4l2Classification::modelName(card, udevModel), name);
    }

    void usbIdsFromUdev_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint16>("id");
        QTest::newRow("lower case") << QStringLiteral("046d") << quint16(0x046d);
        QTest::newRow("upper case") << QStringLiteral("0BDA") << quint16(0x0bda);
        QTest::newRow("missing") << QString() << quint16(0);
        QTest::newRow("not hexadecimal") << QStringLiteral("zz12") << quint16(0);
        QTest::newRow("too large") << QStringLiteral("12345") << quint16(0);
    }

    void usbIdsFromUdev()
    {
        QFETCH(QString, text);
        QFETCH(quint16, id);
        QCOMPARE(V4l2Classification::parseUsbId(text), id);
    }
};

VELORA_TEST_MAIN(TestV4l2Hotplug)
#include "tst_v4l2hotplug.moc"
