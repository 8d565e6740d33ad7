# The V4L2 backend's sources, relative to libs/doccamcore.
set(DOCCAM_V4L2_SOURCES
    v4l2/V4l2Backend.cpp v4l2/V4l2Backend.h
    v4l2/V4l2Camera.cpp v4l2/V4l2Camera.h
    v4l2/V4l2Classification.cpp v4l2/V4l2Classification.h
    v4l2/V4l2ControlMap.cpp v4l2/V4l2ControlMap.h
    v4l2/V4l2ControlQueue.cpp v4l2/V4l2ControlQueue.h
    v4l2/V4l2Device.cpp v4l2/V4l2Device.h
    v4l2/V4l2DeviceDescription.h
    v4l2/V4l2DeviceTracker.cpp v4l2/V4l2DeviceTracker.h
    v4l2/V4l2FormatChoice.cpp v4l2/V4l2FormatChoice.h
    v4l2/V4l2FrameDecoder.cpp v4l2/V4l2FrameDecoder.h
    v4l2/V4l2Io.cpp v4l2/V4l2Io.h
    v4l2/V4l2RecoveryTiming.cpp v4l2/V4l2RecoveryTiming.h
    v4l2/V4l2WakeEvent.cpp v4l2/V4l2WakeEvent.h
)
