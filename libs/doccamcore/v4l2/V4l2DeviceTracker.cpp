#include "V4l2DeviceTracker.h"

#include "V4l2Classification.h"
#include "V4l2FormatChoice.h"

V4l2DeviceTracker::V4l2DeviceTracker(bool documentCameras, QString matchPattern)
    : documentCameras(documentCameras)
    , matchPattern(std::move(matchPattern))
{ }

bool V4l2DeviceTracker::wantsProbe(const V4l2NodeEvent &event) const
{
    return event.action == V4l2NodeEvent::Action::Add && !event.devnode.isEmpty()
            && event.sysname.startsWith(QLatin1String("video")) && !knows(event.devnode);
}

V4l2DeviceTracker::Decision V4l2DeviceTracker::handle(const V4l2NodeEvent &event)
{
    Decision decision;
    switch (event.action) {
    case V4l2NodeEvent::Action::Remove:
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
    if (!wantsProbe(event) || !event.description)
        return decision;
    const V4l2DeviceDescription &description = *event.description;
    // A UVC camera has a second node for metadata; only the one that streams pictures counts,
    // and only when it offers a format the library decodes.
    if (!description.isVideoCapture() || !V4l2FormatChoice::liveFormat(description).isValid())
        return decision;

    CameraDevice::Identity identity;
    identity.key = event.devnode;
    identity.modelName = V4l2Classification::modelName(description.card, event.udevModel);
    identity.vendorId = V4l2Classification::parseUsbId(event.vendorId);
    identity.productId = V4l2Classification::parseUsbId(event.productId);
    identity.locationId = V4l2Classification::locationId(event.usbPath.isEmpty() ? event.devnode
                                                                                 : event.usbPath);
    identity.documentCamera = V4l2Classification::isDocumentCamera(
            identity.vendorId, identity.productId, identity.modelName, matchPattern);
    if (identity.documentCamera != documentCameras)
        return decision;

    reported.insert(event.devnode);
    decision.kind = Decision::Kind::Arrive;
    decision.identity = identity;
    return decision;
}
