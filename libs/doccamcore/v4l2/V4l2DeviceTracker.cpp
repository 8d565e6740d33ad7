#include "V4l2DeviceTracker.h"

#include "DocCamLog.h"
#include "V4l2Classification.h"
#include "V4l2Device.h"
#include "V4l2FormatChoice.h"

#include <UnusableCameras.h>

#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace {

/// Notes `problem` ("%1" for the node) for the view and logs it with `reason` the first time.
void noteUnusable(const QString &devnode, const char *problem, const QString &reason)
{
    if (!UnusableCameras::instance()->note(devnode, QString::fromLatin1(problem).arg(devnode)))
        return;
    docCamLog(LogSystem::LogNotice,
              QStringLiteral("V4l2DeviceTracker - %1 is not used: %2").arg(devnode, reason));
}

} // namespace

V4l2DeviceTracker::V4l2DeviceTracker(bool documentCameras, QString matchPattern)
    : documentCameras(documentCameras)
    , matchPattern(std::move(matchPattern))
{ }

bool V4l2DeviceTracker::wantsProbe(const V4l2NodeEvent &event) const
{
    return event.action == V4l2NodeEvent::Action::Add && !event.devnode.isEmpty()
            && event.sysname.startsWith(QLatin1String("video")) && !knows(event.devnode);
}

void V4l2DeviceTracker::probe(V4l2NodeEvent &event)
{
    event.description = V4l2Device::probe(event.devnode);
    // The device keeps the reason to itself; access() asks for the same rights with the
    // real user, who is the one to be told.
    event.denied = !event.description
            && ::access(QFile::encodeName(event.devnode).constData(), R_OK | W_OK) != 0
            && errno == EACCES;
}

V4l2DeviceTracker::Decision V4l2DeviceTracker::handle(const V4l2NodeEvent &event)
{
    Decision decision;
    switch (event.action) {
    case V4l2NodeEvent::Action::Remove:
        UnusableCameras::instance()->forget(event.devnode);
        if (reported.remove(event.devnode)) {
            decision.kind = Decision::Kind::Leave;
            decision.identity.key = event.devnode;
        }
        return decision;
    case V4l2NodeEvent::Action::Other:
        return decision;
    case V4l2NodeEvent::Action::Add:
        break;
    }

    // Enumeration and the monitor both see a camera plugged in while watching starts.
    if (!wantsProbe(event))
        return decision;
    if (event.denied) {
        noteUnusable(event.devnode, "Camera found but not allowed: %1",
                     QStringLiteral("permission denied (is the user in the video group?)"));
        return decision;
    }
    if (!event.description)
        return decision;
    const V4l2DeviceDescription &description = *event.description;
    // A UVC camera has a second node for metadata; only the one that streams pictures counts,
    // and only when it offers a format the library decodes.
    if (!description.isVideoCapture())
        return decision;
    if (!V4l2FormatChoice::liveFormat(description).isValid()) {
        QStringList offered;
        for (const V4l2PixelFormat &format : description.formats)
            offered.append(format.description);
        noteUnusable(event.devnode, "Camera found but its picture format is not supported: %1",
                     QStringLiteral("offers neither MJPEG nor YUYV (%1)")
                             .arg(offered.isEmpty() ? QStringLiteral("no formats")
                                                    : offered.join(QStringLiteral(", "))));
        return decision;
    }

    CameraDevice::Identity identity;
    identity.key = event.devnode;
    identity.modelName = V4l2Classification::modelName(description.card, event.udevModel);
    identity.vendorId = V4l2Classification::parseUsbId(event.vendorId);
    identity.productId = V4l2Classification::parseUsbId(event.productId);
    identity.serialNumber = event.serialNumber;
    identity.locationId = V4l2Classification::locationId(event.usbPath.isEmpty() ? event.devnode
                                                                                 : event.usbPath);
    identity.documentCamera = V4l2Classification::isDocumentCamera(
            identity.vendorId, identity.productId, identity.modelName, matchPattern);
    if (identity.documentCamera != documentCameras)
        return decision;

    UnusableCameras::instance()->forget(event.devnode);
    reported.insert(event.devnode);
    decision.kind = Decision::Kind::Arrive;
    decision.identity = identity;
    return decision;
}
