#include "RecordedDevices.h"

#include <linux/videodev2.h>

namespace {

V4l2FrameSize size(int width, int height, std::initializer_list<int> rates)
{
    V4l2FrameSize result{QSize(width, height), {}};
    for (int rate : rates)
        result.intervals.append({1, std::uint32_t(rate)});
    return result;
}

using Kind = V4l2ControlInfo::Kind;

/// A control as the device describes it, read at its default value.
V4l2ControlInfo integer(std::uint32_t id, const char *name, int minimum, int maximum, int step,
                        int defaultValue, Kind kind = Kind::Integer, const QList<int> &items = {})
{
    const QString label = QString::fromLatin1(name);
    return {id, label, kind, minimum, maximum, step, defaultValue, defaultValue, true, items};
}

V4l2ControlInfo boolean(std::uint32_t id, const char *name, int defaultValue)
{
    return integer(id, name, 0, 1, 1, defaultValue, Kind::Boolean);
}

V4l2ControlInfo menu(std::uint32_t id, const char *name, int minimum, int maximum,
                     const QList<int> &items, int defaultValue)
{
    return integer(id, name, minimum, maximum, 1, defaultValue, Kind::Menu, items);
}

/// A UVC camera's capture node on the USB port `port`.
V4l2DeviceDescription uvcCamera(const QString &card, char port)
{
    V4l2DeviceDescription d;
    d.card = card;
    d.driver = QStringLiteral("uvcvideo");
    d.busInfo = QStringLiteral("usb-0000:00:14.0-") + QLatin1Char(port);
    d.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
    return d;
}

} // namespace

namespace RecordedDevices {

V4l2DeviceDescription documentCamera()
{
    V4l2DeviceDescription d = uvcCamera(QStringLiteral("USB Document Camera: USB Document"), '2');
    d.formats = {
            {V4L2_PIX_FMT_MJPEG,
             QStringLiteral("Motion-JPEG"),
             {size(3264, 2448, {15, 10}), size(2592, 1944, {15, 10}), size(1920, 1080, {30, 15}),
              size(1280, 720, {30, 15}), size(640, 480, {30, 15})}},
            {V4L2_PIX_FMT_YUYV,
             QStringLiteral("YUYV 4:2:2"),
             {size(640, 480, {30, 15}), size(1280, 720, {10, 5}), size(1920, 1080, {5}),
              size(3264, 2448, {2})}},
    };
    d.controls = {
            integer(V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 1, 0),
            integer(V4L2_CID_CONTRAST, "Contrast", 0, 64, 1, 32),
            integer(V4L2_CID_SATURATION, "Saturation", 0, 128, 1, 64),
            boolean(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 1),
            integer(V4L2_CID_GAIN, "Gain", 0, 100, 1, 0),
            menu(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency", 0, 2, {0, 1, 2}, 1),
            integer(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature", 2800, 6500, 1,
                    4600),
            integer(V4L2_CID_SHARPNESS, "Sharpness", 0, 6, 1, 3),
            menu(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3,
                 {V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_APERTURE_PRIORITY},
                 V4L2_EXPOSURE_APERTURE_PRIORITY),
            integer(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 1, 5000, 1, 157),
            integer(V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute", 0, 1023, 1, 68),
            boolean(V4L2_CID_FOCUS_AUTO, "Focus, Automatic Continuous", 1),
            integer(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 0, 30, 1, 0),
    };
    d.controls[1].value = 48;
    return d;
}

V4l2DeviceDescription documentCameraMetadata()
{
    V4l2DeviceDescription d = documentCamera();
    d.deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
    d.formats = {{V4L2_META_FMT_UVC, QStringLiteral("UVC Payload Header Metadata"), {}}};
    d.controls.clear();
    return d;
}

V4l2DeviceDescription webcam720p()
{
    V4l2DeviceDescription d = uvcCamera(QStringLiteral("HD WebCam: HD WebCam"), '5');
    d.formats = {
            {V4L2_PIX_FMT_YUYV,
             QStringLiteral("YUYV 4:2:2"),
             {size(640, 480, {30, 15}), size(320, 240, {30, 15}), size(352, 288, {30, 15}),
              size(1280, 720, {10, 5})}},
    };
    d.controls = {
            integer(V4L2_CID_BRIGHTNESS, "Brightness", 0, 255, 1, 128),
            integer(V4L2_CID_CONTRAST, "Contrast", 0, 255, 1, 32),
            integer(V4L2_CID_SATURATION, "Saturation", 0, 100, 1, 64),
            boolean(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 1),
    };
    return d;
}

V4l2DeviceDescription conferenceCamera()
{
    V4l2DeviceDescription d = uvcCamera(QStringLiteral("Conference Camera"), '3');
    d.formats = {
            {V4L2_PIX_FMT_YUYV,
             QStringLiteral("YUYV 4:2:2"),
             {size(640, 480, {60, 30}), size(1280, 720, {10})}},
            {V4L2_PIX_FMT_H264, QStringLiteral("H.264"), {size(3840, 2160, {30})}},
            {V4L2_PIX_FMT_MJPEG,
             QStringLiteral("Motion-JPEG"),
             {size(640, 480, {60, 30}), size(1280, 720, {60, 30}), size(1920, 1080, {30})}},
    };
    d.controls = {
            integer(V4L2_CID_BRIGHTNESS, "Brightness", 0, 255, 1, 128),
            integer(V4L2_CID_CONTRAST, "Contrast", 0, 255, 1, 128),
            boolean(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 0),
            integer(V4L2_CID_RED_BALANCE, "Red Balance", 0, 4095, 1, 1024),
            integer(V4L2_CID_BLUE_BALANCE, "Blue Balance", 0, 4095, 1, 1024),
            boolean(V4L2_CID_HFLIP, "Horizontal Flip", 0),
            menu(V4L2_CID_COLORFX, "Color Effects", 0, 3,
                 {V4L2_COLORFX_NONE, V4L2_COLORFX_BW, V4L2_COLORFX_SEPIA, V4L2_COLORFX_NEGATIVE},
                 V4L2_COLORFX_NONE),
            integer(V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute", 0, 255, 5, 0),
            integer(V4L2_CID_AUTO_FOCUS_START, "Auto Focus, Start", 0, 0, 1, 0, Kind::Button),
            integer(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 100, 500, 1, 100),
            // Read-only: the library must not count on it.
            integer(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 1, 250),
    };
    d.controls[10].writable = false;
    return d;
}

} // namespace RecordedDevices
