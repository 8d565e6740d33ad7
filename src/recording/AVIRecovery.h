#pragma once

#include <QString>
#include <QStringList>

/// Makes recordings that a killed or crashed Velora left half written playable again.
///
/// While a recording is written, a marker file "<file>.partial" stands beside it. A marker that
/// outlives its process means the file never got its index and lengths; its streams are copied
/// into a complete file under the same name and the marker goes.
namespace AVIRecovery {

/// The marker beside `aviPath`.
QString markerPath(const QString &aviPath);

/// Recovers every marked recording in `folder`; returns the files recovered. Files whose
/// recording is still running in another process are left alone.
QStringList recoverFolder(const QString &folder);

/// Recovers one file; true when it is playable afterwards and its marker removed.
bool recover(const QString &aviPath);

} // namespace AVIRecovery
