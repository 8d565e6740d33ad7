#pragma once

#include "CameraDevice.h"
#include "V4l2DeviceDescription.h"

#include <QSet>
#include <QString>

#include <optional>

/// What the backend learnt about one video4linux node from udev (and, for an arrival, from the
/// node itself).
struct V4l2NodeEvent
{
    enum class Action { Add, Remove, Other };

    Action action = Action::Other;
    QString devnode; ///< "/dev/video0"
    QString sysname; ///< "video0"
    QString vendorId; ///< ID_VENDOR_ID, "046d"
    QString productId; ///< ID_MODEL_ID
    QString udevModel; ///< ID_MODEL
    QString serialNumber; ///< ID_SERIAL_SHORT; empty when the device has none
    /// Where the device is plugged in: ID_PATH, else the USB device's devpath.
    QString usbPath;
    /// What the node answered when probed; empty when it was not probed or could not be opened.
    std::optional<V4l2DeviceDescription> description;
    /// The node could not be opened because this user lacks the rights to it.
    bool denied = false;
};

/// Turns udev events into camera arrivals and departures for one kind of camera, remembering
/// which nodes it has reported. The backend tells the manager. A video node that is there but
/// cannot be used is logged and noted in UnusableCameras for the camera view.
class V4l2DeviceTracker
{
public:
    struct Decision
    {
        enum class Kind { Ignore, Arrive, Leave };
        Kind kind = Kind::Ignore;
        CameraDevice::Identity identity; ///< for Arrive; identity.key alone for Leave
    };

    V4l2DeviceTracker(bool documentCameras, QString matchPattern);

    /// Whether the backend should open `event`'s node and fill in its description: an arrival
    /// of a video node not reported yet. Radio, VBI and sub-device nodes share the subsystem.
    bool wantsProbe(const V4l2NodeEvent &event) const;

    /// Opens `event`'s node just long enough to fill in its description, or notes that the
    /// user may not open it.
    static void probe(V4l2NodeEvent &event);

    Decision handle(const V4l2NodeEvent &event);

    bool knows(const QString &devnode) const { return reported.contains(devnode); }
    /// Forgets every node, as when watching stops.
    void clear() { reported.clear(); }

private:
    const bool documentCameras;
    const QString matchPattern;
    QSet<QString> reported;
};
