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
    }

    void metadataNodeIsNotACamera()
    {
        V4l2DeviceTracker tracker(true, QString());
        const V4l2NodeEvent metadata = documentCameraNode(Action::Add, QStringLiteral("video1"));
        // Only the node itself can tell, so it is probed, then dropped.
        QVERIFY(tracker.wantsProbe(metadata));
        QCOMPARE(tracker.handle(metadata).kind, Decision::Kind::Ignore);
        QCOMPARE(tracker.handle(documentCameraNode(Action::Remove, QStringLiteral("video1"))).kind,
                 Decision::Kind::Ignore);
    }

    void nodeWithoutStreamingIsIgnored()
    {
        // Frames are taken from mapped buffers; a node that only offers read() cannot stream.
        V4l2DeviceTracker tracker(false, QString());
        V4l2NodeEvent event = webcamNode(Action::Add);
        event.description->deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
        QCOMPARE(tracker.handle(event).kind, Decision::Kind::Ignore);
    }

    void nodeThatCouldNotBeOpenedIsIgnored()
    {
        V4l2DeviceTracker tracker(true, QString());
        V4l2NodeEvent event = documentCameraNode(Action::Add);
        event.description.reset();
        QCOMPARE(tracker.handle(event).kind, Decision::Kind::Ignore);
        QVERIFY(!tracker.knows(event.devnode));
    }

    void removalOfAReportedCameraLeaves()
    {
        V4l2DeviceTracker tracker(true, QString());
        QCOMPARE(tracker.handle(documentCameraNode(Action::Add)).kind, Decision::Kind::Arrive);

        const Decision gone = tracker.handle(documentCameraNode(Action::Remove));
        QCOMPARE(gone.kind, Decision::Kind::Leave);
        QCOMPARE(gone.identity.key, QStringLiteral("/dev/video0"));
        QVERIFY(!tracker.knows(QStringLiteral("/dev/video0")));
        // udev may repeat itself; a camera leaves once.
        QCOMPARE(tracker.handle(documentCameraNode(Action::Remove)).kind, Decision::Kind::Ignore);
        // Plugged in again, it arrives again.
        QCOMPARE(tracker.handle(documentCameraNode(Action::Add)).kind, Decision::Kind::Arrive);
    }

    void cameraSeenByEnumerationAndMonitorArrivesOnce()
    {
        V4l2DeviceTracker tracker(true, QString());
        QCOMPARE(tracker.handle(documentCameraNode(Action::Add)).kind, Decision::Kind::Arrive);
        const V4l2NodeEvent again = documentCameraNode(Action::Add);
        QVERIFY(!tracker.wantsProbe(again));
        QCOMPARE(tracker.handle(again).kind, Decision::Kind::Ignore);
    }

    void changeEventsAreIgnored()
    {
        V4l2DeviceTracker tracker(true, QString());
        QCOMPARE(tracker.handle(documentCameraNode(Action::Add)).kind, Decision::Kind::Arrive);
        QCOMPARE(tracker.handle(documentCameraNode(Action::Other)).kind, Decision::Kind::Ignore);
        QVERIFY(tracker.knows(QStringLiteral("/dev/video0")));
    }

    void otherVideo4linuxNodesAreNotProbed_data()
    {
        QTest::addColumn<QString>("sysname");
        QTest::newRow("sub-device") << QStringLiteral("v4l-subdev0");
        QTest::newRow("radio") << QStringLiteral("radio0");
        QTest::newRow("vbi") << QStringLiteral("vbi0");
    }

    void otherVideo4linuxNodesAreNotProbed()
    {
        QFETCH(QString, sysname);
        V4l2DeviceTracker tracker(false, QString());
        V4l2NodeEvent event = webcamNode(Action::Add);
        event.sysname = sysname;
        event.devnode = QStringLiteral("/dev/") + sysname;
        QVERIFY(!tracker.wantsProbe(event));
        QCOMPARE(tracker.handle(event).kind, Decision::Kind::Ignore);
    }

    void eachTrackerReportsOnlyItsKind()
    {
        V4l2DeviceTracker documentCameras(true, QString());
        V4l2DeviceTracker webcams(false, QString());

        QCOMPARE(documentCameras.handle(webcamNode(Action::Add)).kind, Decision::Kind::Ignore);
        const Decision webcam = webcams.handle(webcamNode(Action::Add));
        QCOMPARE(webcam.kind, Decision::Kind::Arrive);
        QVERIFY(!webcam.identity.documentCamera);
        QCOMPARE(webcam.identity.modelName, QStringLiteral("HD WebCam"));
        QCOMPARE(webcam.identity.vendorId, quint16(0x0bda));

        QCOMPARE(webcams.handle(documentCameraNode(Action::Add)).kind, Decision::Kind::Ignore);
        QCOMPARE(webcams.handle(documentCameraNode(Action::Remove)).kind, Decision::Kind::Ignore);
    }

    void userPatternMakesADocumentCamera()
    {
        V4l2DeviceTracker documentCameras(true, QStringLiteral("hd webcam"));
        V4l2DeviceTracker webcams(false, QStringLiteral("hd webcam"));
        QCOMPARE(documentCameras.handle(webcamNode(Action::Add)).kind, Decision::Kind::Arrive);
        QCOMPARE(webcams.handle(webcamNode(Action::Add)).kind, Decision::Kind::Ignore);
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
