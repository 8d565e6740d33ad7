#include "KivoSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>

#include <mutex>

namespace {
std::mutex overrideMutex;
std::function<qint64(const QString &)> freeSpaceOverride;
} // namespace

qint64 KivoSystem::freeSpace(const QString &folder)
{
    std::function<qint64(const QString &)> measure;
    {
        std::lock_guard lock(overrideMutex);
        measure = freeSpaceOverride;
    }
    if (measure)
        return measure(folder);

    QString existing = QFileInfo(folder).absoluteFilePath();
    while (!existing.isEmpty() && !QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            break;
        existing = parent;
    }
    // statvfs rather than QStorageInfo: a recording asks once per frame, and QStorageInfo reads
    // the whole mount table on every construction.
    struct statvfs volume = {};
    if (existing.isEmpty() || statvfs(QFile::encodeName(existing).constData(), &volume) != 0)
        return -1;
    return qint64(volume.f_bavail) * qint64(volume.f_frsize);
}

void KivoSystem::setFreeSpaceOverride(std::function<qint64(const QString &)> override)
{
    std::lock_guard lock(overrideMutex);
    freeSpaceOverride = std::move(override);
}
