#pragma once

#include <LogModule.h>

/// The video player's channel into the log.
inline const LogModule videoLog("velora/video");
