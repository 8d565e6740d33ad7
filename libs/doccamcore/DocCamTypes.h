#pragma once

#include <QSize>

#include <cstdint>

/// Result codes of the camera library. Failures are negative; 0xE0000000 and up are the
/// library's own codes, seen as negative 32-bit integers.
namespace DocCam {
constexpr int Ok = 0;
/// A frame could not be taken: the camera is gone.
constexpr int ErrorFrame = int(0xE0000000u);
/// Invalid argument or a call in the wrong state.
constexpr int ErrorInvalid = int(0xE0000001u);
/// The operation is not available on this camera.
constexpr int ErrorUnsupported = int(0xE0000002u);
/// The device failed (an ioctl error, a disconnected camera).
constexpr int ErrorDevice = int(0xE0000003u);
/// Another application holds the camera.
constexpr int ErrorBusy = int(0xE0000004u);
/// Answered by a parameter call when the camera starts tuning itself; the end of tuning is
/// reported to the parameters listener.
constexpr int Tuning = 0x20000;

/// Colour effects as the camera numbers them.
constexpr int ColorEffectColor = 1;
constexpr int ColorEffectNegative = 2;
constexpr int ColorEffectBlackWhite = 4;

/// Camera modes as the camera numbers them.
constexpr int ModeEnhance = 1;
constexpr int ModeNormal = 4;
constexpr int ModeMicroscope = 8;
constexpr int ModeMacro = 16;
constexpr int ModeInfinity = 32;

/// What a camera can do, as reported by KivoDocCam::capabilities(). A control the device lacks
/// may still be offered when the library does it in software (see softwareCapabilities()).
enum Capability : std::uint32_t {
    CapAutoFocus = 1u << 0,
    CapManualFocus = 1u << 1,
    CapZoom = 1u << 2,
    CapBrightness = 1u << 3,
    CapContrast = 1u << 4,
    CapExposure = 1u << 5,
    CapAutoExposure = 1u << 6,
    CapAutoWhiteBalance = 1u << 7,
    CapWhiteBalanceGain = 1u << 8, ///< red and blue gain
    CapColorEffect = 1u << 9,
    CapRotation = 1u << 10,
    CapMirror = 1u << 11,
    CapFreeze = 1u << 12,
    CapCameraMode = 1u << 13,
    CapAutoImage = 1u << 14,
    CapHQStill = 1u << 15,
    CapInputs = 1u << 16, ///< the camera reports its input (button and source) state
};

/// A picture format of the stream.
struct VideoFormat
{
    QSize size;
    /// Frames per second, 0 when unknown.
    double frameRate = 0;
    bool isValid() const { return size.isValid() && !size.isEmpty(); }
};

/// Kinds of manager event.
enum class ManagerEvent {
    CameraAdded,
    CameraRemoved,
    ManagerStarted,
    ManagerStopped,
    EnumerationCompleted,
    CameraChanged,
    ManagerError,
};

/// System events reported through KivoSystemOsal.
constexpr int SystemEventSuspend = 0;
constexpr int SystemEventResume = 1;
} // namespace DocCam
