#pragma once

#include <cstdint>

/// What component operations return: 0 for success, negative for failure. Each component
/// documents its own codes; these recur across all of them.
using ResultCode = std::int32_t;

namespace Result {
constexpr ResultCode Success = 0;
constexpr ResultCode Failure = -1;
/// No device, or the request was refused.
constexpr ResultCode NoDevice = -1000;
constexpr ResultCode InvalidArgument = -2000;
/// The user chose not to exit.
constexpr ResultCode ExitDeclined = -3000;
/// An exit query's answer when the application may exit (0 says the same).
constexpr ResultCode MayExit = 1000;

constexpr bool succeeded(ResultCode code)
{
    return code >= 0;
}
} // namespace Result
