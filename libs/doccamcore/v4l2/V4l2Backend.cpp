#include "V4l2Backend.h"

#include "CameraBackend.h"
#include "DocCamLog.h"
#include "DocCamManager.h"
#include "V4l2Camera.h"
#include "V4l2Device.h"
#include "V4l2DeviceTracker.h"
#include "V4l2RecoveryTiming.h"

#include <libudev.h>

#include <QHash>
#include <QLoggingCategory>

#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcV4l2Backend, "velora.doccam.v4l2.backend", QtWarningMsg)

namespace {

struct UdevDeleter
{
    void operator()(udev *handle) const { udev_unref(handle); }
    void operator()(udev_monitor *handle) const { udev_monitor_unref(handle); }
    void operator()(udev_enumerate *handle) const { udev_enumerate_unref(handle); }
    void operator()(udev_device *handle) const { udev_device_unref(handle); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevDeleter>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevDeleter>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevDeleter>;

constexpr const char *Subsystem = "video4linux";

QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

/// What udev says about `device`, without opening it.
V4l2NodeEvent nodeEvent(udev_device *device, V4l2NodeEvent::Action action)
{
    V4l2NodeEvent event;
    event.action = action;
    event.devnode = text(udev_device_get_devnode(device));
    event.sysname = text(udev_device_get_sysname(device));
    event.vendorId = text(udev_device_get_property_value(device, "ID_VENDOR_ID"));
    event.productId = text(udev_device_get_property_value(device, "ID_MODEL_ID"));
    event.udevModel = text(udev_device_get_property_value(device, "ID_MODEL"));
    event.serialNumber = text(udev_device_get_property_value(device, "ID_SERIAL_SHORT"));
    event.usbPath = text(udev_device_get_property_value(device, "ID_PATH"));
    if (event.usbPath.isEmpty()) {
        // The parent is owned by `device`; no reference is taken.
        if (udev_device *usb
            = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device"))
            event.usbPath = text(udev_device_get_devpath(usb));
    }
    return event;
}

V4l2NodeEvent::Action actionOf(const char *action)
{
    const QByteArray name(action ? action : "");
    if (name == "add")
        return V4l2NodeEvent::Action::Add;
    if (name == "remove")
        return V4l2NodeEvent::Action::Remove;
    return V4l2NodeEvent::Action::Other;
}

/// Finds V4L2 capture devices of one kind through udev and watches them come and go.
///
/// A camera that stalled and could not be reopened on its capture thread is reported as
/// removed while its node stays; the backend then keeps reopening the node on the manager's
/// event thread and reports a fresh camera when it streams again, unless udev reports the node
/// removed first.
class V4l2Backend final : public CameraBackend
{
public:
    V4l2Backend(bool documentCameras, QString matchPattern)
        : tracker(documentCameras, std::move(matchPattern))
    { }
    ~V4l2Backend() override { stop(); }

    void start(DocCamManager *manager) override;
    void stop() override;
    int pollDescriptor() const override
    {
        return monitor ? udev_monitor_get_fd(monitor.get()) : -1;
    }
    void onReadable() override;

    void handle(V4l2NodeEvent event);

private:
    /// A node reported to the manager: as a camera, or (camera null) lost and being retried.
    struct Node
    {
        CameraDevice::Identity identity;
        V4l2DeviceDescription description;
        V4l2Camera *camera = nullptr;
        int retries = 0;
        /// Tells the retry due apart from those a replaced camera left scheduled.
        quint64 generation = 0;
    };

    void report(Node &node);
    void cameraLost(V4l2Camera *camera);
    void scheduleRetry(const QString &key);
    void retry(const QString &key, quint64 generation);

    V4l2DeviceTracker tracker;
    DocCamManager *manager = nullptr;
    UdevPtr context;
    UdevMonitorPtr monitor;
    /// By device node. The manager holds the cameras' references.
    QHash<QString, Node> nodes;
    quint64 generations = 0;
};

void V4l2Backend::start(DocCamManager *manager)
{
    stop();
    this->manager = manager;
    context.reset(udev_new());
    if (!context) {
        qCWarning(lcV4l2Backend) << "V4l2Backend::start - udev is not available";
        return;
    }
    // The monitor is listening before the enumeration runs, so a camera plugged in meanwhile
    // is seen by one or both; the tracker drops the second sighting.
    monitor.reset(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (monitor
        && (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), Subsystem, nullptr) < 0
            || udev_monitor_enable_receiving(monitor.get()) < 0)) {
        qCWarning(lcV4l2Backend) << "V4l2Backend::start - cannot watch for cameras";
        monitor.reset();
    }

    UdevEnumeratePtr enumerate(udev_enumerate_new(context.get()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), Subsystem) < 0
        || udev_enumerate_scan_devices(enumerate.get()) < 0) {
        qCWarning(lcV4l2Backend) << "V4l2Backend::start - cannot list cameras";
        return;
    }
    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        UdevDevicePtr device(
                udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (device)
            handle(nodeEvent(device.get(), V4l2NodeEvent::Action::Add));
    }
}

void V4l2Backend::stop()
{
    monitor.reset();
    context.reset();
    tracker.clear();
    nodes.clear();
}

void V4l2Backend::onReadable()
{
    if (!monitor)
        return;
    // One readable notification may stand for several queued events.
    while (UdevDevicePtr device{udev_monitor_receive_device(monitor.get())})
        handle(nodeEvent(device.get(), actionOf(udev_device_get_action(device.get()))));
}

void V4l2Backend::handle(V4l2NodeEvent event)
{
    if (tracker.wantsProbe(event))
        V4l2DeviceTracker::probe(event);

    const V4l2DeviceTracker::Decision decision = tracker.handle(event);
    const QString &key = decision.identity.key;
    switch (decision.kind) {
    case V4l2DeviceTracker::Decision::Kind::Arrive: {
        Node &node = nodes[key];
        node = {decision.identity, std::move(*event.description)};
        report(node);
        break;
    }
    case V4l2DeviceTracker::Decision::Kind::Leave: {
        const auto found = nodes.find(key);
        if (found == nodes.end())
            break;
        if (found->camera)
            manager->cameraLeft(found->camera);
        else
            docCamLog(
                    LogSystem::LogInfo,
                    QStringLiteral(
                            "V4l2Backend::handle - %1 was unplugged: no more attempts to reopen it")
                            .arg(key));
        nodes.erase(found);
        break;
    }
    case V4l2DeviceTracker::Decision::Kind::Ignore:
        break;
    }
}

void V4l2Backend::report(Node &node)
{
    node.camera = new V4l2Camera(manager, node.identity, node.description,
                                 [this, manager = manager](V4l2Camera *camera) {
                                     // Held until the event thread has dealt with it.
                                     camera->addRef();
                                     std::shared_ptr<V4l2Camera> held(
                                             camera, [](V4l2Camera *c) { c->release(); });
                                     manager->post([this, held] { cameraLost(held.get()); });
                                 });
    node.retries = 0;
    manager->cameraArrived(node.camera);
}

void V4l2Backend::cameraLost(V4l2Camera *camera)
{
    const auto found = nodes.find(camera->key());
    // Unplugged meanwhile, or watching stopped.
    if (found == nodes.end() || found->camera != camera)
        return;
    found->camera = nullptr;
    manager->cameraLeft(camera);
    scheduleRetry(found.key());
}

void V4l2Backend::scheduleRetry(const QString &key)
{
    Node &node = nodes[key];
    const V4l2RecoveryTiming &timing = V4l2RecoveryTiming::current();
    const int waitMs
            = int(std::min<qint64>(qint64(timing.backgroundFirstMs) << std::min(node.retries, 16),
                                   timing.backgroundMaxMs));
    node.generation = ++generations;
    manager->post([this, key, generation = node.generation] { retry(key, generation); }, waitMs);
}

void V4l2Backend::retry(const QString &key, quint64 generation)
{
    const auto found = nodes.find(key);
    if (found == nodes.end() || found->camera || found->generation != generation)
        return;
    Node &node = *found;
    ++node.retries;
    V4l2Device device;
    int result = device.open(key);
    if (result == DocCam::Ok)
        result = device.startStreaming(V4l2FormatChoice::liveFormat(node.description));
    QString reason = qt_error_string(device.lastError());
    // A camera that takes the stream-on but still sends nothing would be added only to stall
    // again: it counts as back once a frame arrives.
    QImage frame;
    if (result == DocCam::Ok
        && device.nextFrame(frame, V4l2RecoveryTiming::current().stallMs)
                != V4l2Device::Wait::Frame) {
        result = DocCam::ErrorDevice;
        reason = QStringLiteral("no frame");
    }
    if (result != DocCam::Ok) {
        docCamLog(
                LogSystem::LogInfo,
                QStringLiteral("V4l2Backend::retry - %1 still cannot be reopened (%2), attempt %3")
                        .arg(key, reason)
                        .arg(node.retries));
        scheduleRetry(key);
        return;
    }
    // The camera object is new: the one reported removed has ended its stream for good.
    device.close();
    docCamLog(LogSystem::LogInfo,
              QStringLiteral("V4l2Backend::retry - %1 streams again: reported as added").arg(key));
    report(node);
}

} // namespace

std::unique_ptr<CameraBackend> createV4l2Backend(bool documentCameras)
{
    return std::make_unique<V4l2Backend>(documentCameras,
                                         qEnvironmentVariable("VELORA_DOCCAM_MATCH"));
}

void deliverV4l2NodeEvent(DocCamManager *manager, const V4l2NodeEvent &event)
{
    manager->post([manager, event] {
        if (auto *backend = dynamic_cast<V4l2Backend *>(manager->backend()))
            backend->handle(event);
    });
}
