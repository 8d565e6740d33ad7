#pragma once

#include <LogSystem.h>

#include <QString>

/// Writes one line to the application's log under the camera library's module "velora/doccam":
/// what a user or support needs to know about a camera, as opposed to developer diagnostics.
void docCamLog(LogSystem::LogLevel level, const QString &text);
