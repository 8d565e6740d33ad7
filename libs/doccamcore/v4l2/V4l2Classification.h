#pragma once

#include <QString>

#include <cstdint>
#include <span>

/// Which capture devices are document cameras, and the identity details taken from udev.
namespace V4l2Classification {

struct KnownDocumentCamera
{
    std::uint16_t vendorId;
    std::uint16_t productId; ///< 0: every product of the vendor
    const char *model;
};

/// The document cameras the library recognises by their USB ids.
std::span<const KnownDocumentCamera> knownDocumentCameras();

/// A document camera when its USB ids are known, its name says so ("Document Camera",
/// "Visualiser", ...), or `matchPattern` (the user's VELORA_DOCCAM_MATCH) is a
/// case-insensitive part of its name.
bool isDocumentCamera(std::uint16_t vendorId, std::uint16_t productId, const QString &name,
                      const QString &matchPattern);

/// A 32-bit id for the USB port path (udev's ID_PATH), the same every run and on every machine
/// for the same path, so that a remembered camera is found again in the same socket.
std::uint32_t locationId(const QString &usbPath);

/// The name shown for a camera: the driver's card name, without the repetition UVC cameras
/// often carry ("HD Webcam: HD Webcam"), else udev's model name.
QString modelName(const QString &card, const QString &udevModel);

/// A four-digit hexadecimal id as udev gives it ("046d"); 0 when absent or malformed.
std::uint16_t parseUsbId(const QString &text);

} // namespace V4l2Classification
