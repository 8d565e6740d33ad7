#include "KivoSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

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
    const QStorageInfo storage(existing);
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return storage.bytesAvailable();
}

void KivoSystem::setFreeSpaceOverride(std::function<qint64(const QString &)> override)
{
    std::lock_guard lock(overrideMutex);
    freeSpaceOverride = std::move(override);
}
