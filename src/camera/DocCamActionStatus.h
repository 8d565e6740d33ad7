#pragma once

#include <QtGlobal>

/// The bits of the document camera controller's action status that the control panels read.
namespace DocCamAction {
constexpr uint AutoFocus = 0x01;
constexpr uint ZoomIn = 0x02;
constexpr uint ZoomOut = 0x04;
constexpr uint ZoomReset = 0x08;
constexpr uint Pause = 0x10;
constexpr uint Rotate = 0x20;
constexpr uint Mirror = 0x40;
constexpr uint ManualFocus = 0x400;
constexpr uint ManualExposure = 0x800;
constexpr uint WhiteBalance = 0x1000;
constexpr uint ManualWhiteBalance = 0x2000;
constexpr uint CameraModes = 0x4000;
constexpr uint AutoImage = 0x40000;
constexpr uint Exposure = 0x200000;

/// A camera is connected and its picture is live. While frozen the controller publishes Pause
/// alone, and nothing at all without a camera.
constexpr bool isLive(uint status)
{
    return (status & ~Pause) != 0;
}

constexpr bool hasAll(uint status, uint bits)
{
    return (status & bits) == bits;
}
} // namespace DocCamAction
