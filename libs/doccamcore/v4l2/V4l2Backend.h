#pragma once

#include <memory>

class CameraBackend;
class DocCamManager;
struct V4l2NodeEvent;

/// The backend for real cameras: V4L2 capture devices found and watched through udev.
/// `documentCameras` selects the document cameras (else the webcams) among them.
std::unique_ptr<CameraBackend> createV4l2Backend(bool documentCameras);

/// Hands `event` to `manager`'s V4L2 backend on the manager's event thread as udev would: how a
/// test plugs in and unplugs a camera. Does nothing for a manager with another backend.
void deliverV4l2NodeEvent(DocCamManager *manager, const V4l2NodeEvent &event);
