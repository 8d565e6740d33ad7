#pragma once

#include <v4l2/V4l2DeviceDescription.h>

/// Descriptions of real kinds of camera, as V4l2Device::describe() records them.
namespace RecordedDevices {

/// A UVC document camera: MJPEG up to 3264x2448 (8 MP at 15 fps, 1080p at 30), YUYV at
/// reduced rates, manual and automatic focus, zoom, exposure with aperture priority only.
V4l2DeviceDescription documentCamera();
/// The metadata node the same camera exposes next to its capture node.
V4l2DeviceDescription documentCameraMetadata();
/// A 720p USB 2 webcam with YUYV only (720p at 10 fps) and few controls.
V4l2DeviceDescription webcam720p();
/// A conference camera with MJPEG up to 1080p, a 60 fps VGA mode, colour effects, mirror,
/// white balance gains and a one-shot autofocus button.
V4l2DeviceDescription conferenceCamera();

} // namespace RecordedDevices
