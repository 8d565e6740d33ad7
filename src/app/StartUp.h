#pragma once

#include <QString>

class QTranslator;

/// What the program does before its main window exists.
namespace StartUp {

/// Whether Velora should ask Qt for XWayland ("xcb"), to be called before the application object
/// exists: true in a Wayland session (WAYLAND_DISPLAY set) unless the user chose a platform
/// through QT_QPA_PLATFORM or a -platform argument. Window placement, the stay-on-top masks and
/// the widget-mode bar need what X11 allows and Wayland forbids to clients.
bool runOnXWayland(int argc, const char *const *argv);

/// The log file template handed to the logger: the log folder, "/", "VeloraYYMMDD-9999.log".
QString logFileTemplate();

/// Installs the file logger (a template from logFileTemplate()) and starts logging at the
/// configured threshold. A log folder that cannot be written gives way to the default one and
/// then to the runtime folder, and the switch is said in one line on standard error. Returns the
/// log file, or an empty string when no folder could be written.
QString startLogging();

/// Installs the translation named by "language" ("language/Lang_<code>" relative to the working
/// folder). With no language stored, stores "eng" and keeps the built-in English texts.
void loadLanguage(QTranslator *translator);

/// Deletes every file in the log folder whose last change is more calendar days ago than
/// "logs/logFilesExpiryDate" (30 when unset or not positive). Sub-folders are left alone.
void removeExpiredLogFiles();

/// The log folder from "logs/logFilesLocation" (stored on first use as "Velora/logs" under the
/// documents folder), created if missing.
QString logFilesFolder();

/// The log threshold from "logs/logLevel" (5 by default), written back.
int configuredLogLevel();

} // namespace StartUp
