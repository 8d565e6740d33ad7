#pragma once

#include <QString>

#include <functional>

/// System queries of the base library.
class KivoSystem
{
public:
    /// Bytes available to this user on the volume holding `folder`. A folder that does not exist
    /// yet is measured on its nearest existing parent. Returns -1 when nothing can be measured.
    static qint64 freeSpace(const QString &folder);

    /// Replaces the measurement, for tests that need a full disk; an empty function restores it.
    static void setFreeSpaceOverride(std::function<qint64(const QString &folder)> override);
};
