#include "V4l2Backend.h"

#include "CameraBackend.h"
#include "DocCamManager.h"
#include "V4l2Camera.h"
#include "V4l2DeviceTracker.h"

#include <libudev.h>

#include <QHash>
#include <QLoggingCategory>

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

private:
    void handle(udev_device *device, V4l2NodeEvent::Action action);

    V4l2DeviceTracker tracker;
    DocCamManager *manager = nullptr;
    UdevPtr context;
    UdevMonitorPtr monitor;
    /// The cameras reported, by device node. The manager holds their references.
    QHash<QString, CameraDevice *> cameras;
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
            handle(device.get(), V4l2NodeEvent::Action::Add);
    }
}

void V4l2Backend::stop()
{
    monitor.reset();
    context.reset();
    tracker.clear();
    cameras.clear();
}

void V4l2Backend::onReadable()
{
    if (!monitor)
        return;
    // One readable notification may stand for several queued events.
    while (UdevDevicePtr device{udev_monitor_receive_device(monitor.get())})
        handle(device.get(), actionOf(udev_device_get_action(device.get())));
}

void V4l2Backend::handle(udev_device *device, V4l2NodeEvent::Action action)
{
    V4l2NodeEvent event = nodeEvent(device, action);
    if (tracker.wantsProbe(event))
        V4l2DeviceTracker::probe(event);

    const V4l2DeviceTracker::Decision decision = tracker.handle(event);
    switch (decision.kind) {
    case V4l2DeviceTracker::Decision::Kind::Arrive: {
        auto *camera = new V4l2Camera(manager, decision.identity, std::move(*event.description));
        cameras.insert(decision.identity.key, camera);
        manager->cameraArrived(camera);
        break;
    }
    case V4l2DeviceTracker::Decision::Kind::Leave:
        if (CameraDevice *camera = cameras.take(decision.identity.key))
            manager->cameraLeft(camera);
        break;
    case V4l2DeviceTracker::Decision::Kind::Ignore:
        break;
    }
}

} // namespace

std::unique_ptr<CameraBackend> createV4l2Backend(bool documentCameras)
{
    return std::make_unique<V4l2Backend>(documentCameras,
                                         qEnvironmentVariable("VELORA_DOCCAM_MATCH"));
}
