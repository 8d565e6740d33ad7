#pragma once

#include <memory>

class CameraBackend;

/// The backend for real cameras: V4L2 capture devices found and watched through udev.
/// `documentCameras` selects the document cameras (else the webcams) among them.
std::unique_ptr<CameraBackend> createV4l2Backend(bool documentCameras);
