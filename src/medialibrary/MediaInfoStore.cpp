#include "MediaInfoStore.h"

#include "MediaImpl.h"
#include "MediaInfoFile.h"
#include "MediaLibraryDatabase.h"
#include "ShownMediaRecord.h"

#include <LogModule.h>
#include <MessageBox.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <climits>

namespace {

const LogModule mediaLog("velora/medialibrary");

// In the order the refusal lists them.
constexpr QStringView ForbiddenCharacters = u"\"/\\:*?<>|";

QString tooLong()
{
    return QStringLiteral("File name is limited to 255 characters in length");
}

void warn(const QString &title, const QString &text)
{
    MessageBox::warning(QApplication::activeWindow(), title, text);
}

// A symbolic link whose target is gone does not "exist", but it is there to be deleted.
bool present(const QFileInfo &file)
{
    return file.exists() || file.isSymLink();
}

bool isFolder(const MediaIntf &media)
{
    return media.kind() == MediaIntf::Folder;
}

} // namespace

MediaInfoStore::MediaInfoStore()
    : base(QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                + QStringLiteral("/Kivo"))
                   .absolutePath())
    , database(MediaLibraryDatabase::instance())
    , record(std::make_shared<ShownMediaRecord>())
{ }

MediaInfoStore::~MediaInfoStore()
{
    database->release();
}

QString MediaInfoStore::mirrorPath(const QString &path) const
{
    // Cleaning leaves ".." only right after the root, where it means the root itself; dropped,
    // it can lead nowhere outside the base folder.
    QStringList parts = QDir::cleanPath(QFileInfo(path).absoluteFilePath())
                                .remove(QLatin1Char(':'))
                                .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral(".."));
    parts.prepend(base);
    return parts.join(QLatin1Char('/'));
}

QString MediaInfoStore::infoFilePath(const QString &path) const
{
    return mirrorPath(path) + QStringLiteral(".kvrd");
}

QString MediaInfoStore::thumbnailPath(const QString &path) const
{
    return mirrorPath(path) + QStringLiteral(".png");
}

void MediaInfoStore::prepareFolder(const QString &folder) const
{
    QDir().mkpath(mirrorPath(folder));
}

void MediaInfoStore::readInformation(MediaIntf &media) const
{
    QFile file(infoFilePath(media.path()));
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (!MediaInfoFile::read(file.read(MediaInfoFile::MaxFileSize), media))
        mediaLog.log(4, "MediaInfoStore::readInformation - %s is damaged; kept what it held",
                     qPrintable(file.fileName()));
}

bool MediaInfoStore::writeInformation(const MediaIntf &media) const
{
    return writeInformation(QList<const MediaIntf *>{&media});
}

bool MediaInfoStore::writeInformation(const QList<const MediaIntf *> &media) const
{
    QList<std::pair<QFileInfo, QStringList>> keywords;
    keywords.reserve(media.size());
    for (const MediaIntf *one : media)
        keywords.append({QFileInfo(one->path()), one->keywords()});
    database->setFileKeywords(keywords);
    return writeInformationFiles(media);
}

bool MediaInfoStore::writeInformationFiles(const QList<const MediaIntf *> &media) const
{
    bool written = true;
    for (const MediaIntf *one : media) {
        const QString path = infoFilePath(one->path());
        QDir().mkpath(QFileInfo(path).path());
        // Through a temporary file: a full disk or a crash leaves the old information, never
        // half.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(MediaInfoFile::write(*one)) >= 0
            && file.commit())
            continue;
        mediaLog.log(4, "MediaInfoStore::writeInformation - %s: %s", qPrintable(path),
                     qPrintable(file.errorString()));
        written = false;
    }
    return written;
}

QString MediaInfoStore::nameProblem(const QString &name)
{
    for (QChar c : ForbiddenCharacters) {
        if (name.contains(c)) {
            QStringList listed;
            for (QChar forbidden : ForbiddenCharacters)
                listed << QString(forbidden);
            return QStringLiteral("File name cannot contain following characters:\n")
                    + listed.join(QLatin1Char(' '));
        }
    }
    if (name.size() > MaxNameLength)
        return tooLong();
    return QString();
}

void MediaInfoStore::setWatcherCallback(WatcherCallback callback)
{
    watcher = std::move(callback);
}

void MediaInfoStore::callWatcher(bool resume, bool changed) const
{
    if (watcher)
        watcher(resume, changed);
}

bool MediaInfoStore::refusedAsBusy(const MediaIntf &media, const QString &failure) const
{
    const QString path = media.path();
    // Linux lets an open file be deleted or renamed: the recording would go on into a name
    // nobody sees, so it is refused here rather than by the file system.
    if (record->isRecording(path)) {
        warn(QStringLiteral("File error"), QStringLiteral("This file is in use"));
        return true;
    }
    if (record->isOnScreen(path)) {
        warn(failure, QStringLiteral("This file is playing"));
        return true;
    }
    if (!path.isEmpty() && record->thumbnailInProgress() == path) {
        warn(failure, QStringLiteral("Velora is generating thumbnail for this file"));
        return true;
    }
    // Read into a copy: the object may hold edits that are not saved yet.
    MediaImpl stored(path, media.kind());
    readInformation(stored);
    if (stored.isInUploadQueue() || record->isInUploadQueue(path)) {
        warn(QStringLiteral("File error"), QStringLiteral("This file is in upload queue"));
        return true;
    }
    return false;
}

QString MediaInfoStore::moveRefusal(const QString &path) const
{
    MediaImpl stored(path);
    readInformation(stored);
    if (stored.isInUploadQueue() || record->isInUploadQueue(path))
        return QStringLiteral("This file is in Upload queue");
    if (record->isRecording(path) || record->isOnScreen(path)
        || (!path.isEmpty() && record->thumbnailInProgress() == path))
        return QStringLiteral("This file is in use");
    return QString();
}

void MediaInfoStore::carry(const MediaIntf &moved, const QString &oldPath) const
{
    const QString newPath = moved.path();
    // Whatever information the new name still has belonged to a file deleted outside Velora.
    forget(moved);
    // The mirror of a folder on another volume may not exist yet.
    QDir().mkpath(QFileInfo(infoFilePath(newPath)).path());
    if (isFolder(moved)) {
        database->moveFolder(newPath, oldPath);
        QDir().rename(mirrorPath(oldPath), mirrorPath(newPath));
    } else {
        database->renameFile(QFileInfo(newPath), QFileInfo(oldPath));
    }
    QFile::rename(infoFilePath(oldPath), infoFilePath(newPath));
    QFile::rename(thumbnailPath(oldPath), thumbnailPath(newPath));
}

void MediaInfoStore::forget(const MediaIntf &media) const
{
    const QString path = media.path();
    QFile::remove(infoFilePath(path));
    QFile::remove(thumbnailPath(path));
    if (isFolder(media)) {
        QDir(mirrorPath(path)).removeRecursively();
        database->removeFolder(QDir(path));
    } else {
        database->removeFile(QFileInfo(path));
    }
}

bool MediaInfoStore::remove(MediaIntf &media)
{
    const QFileInfo file(media.path());
    if (present(file)) {
        if (refusedAsBusy(media, QStringLiteral("Remove failed")))
            return false;
        if (file.isDir() && !file.isSymLink())
            QDir(file.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(file.absoluteFilePath());
        if (present(QFileInfo(file.absoluteFilePath()))) {
            warn(QStringLiteral("File error"),
                 QStringLiteral("Delete file failed.\nThis file may be read-only or in use."));
            return false;
        }
    }
    forget(media);
    return true;
}

bool MediaInfoStore::rename(MediaIntf &media, const QString &newName, bool notify)
{
    const QFileInfo old(media.path());
    const bool folder = isFolder(media);
    // Linux names are case-sensitive: "photo" is another name than "Photo".
    if (newName.isEmpty() || newName == (folder ? old.fileName() : old.completeBaseName()))
        return false;
    QString name = newName;
    if (!folder && !old.suffix().isEmpty())
        name += QLatin1Char('.') + old.suffix();
    QString refusal = nameProblem(newName);
    // The information file is named after the file plus ".kvrd": a name the file system can
    // hold but not with that ending would leave the information behind.
    if (refusal.isEmpty() && QFileInfo::exists(infoFilePath(old.absoluteFilePath()))
        && QFile::encodeName(name + QStringLiteral(".kvrd")).size() > NAME_MAX)
        refusal = tooLong();
    if (!refusal.isEmpty()) {
        warn(QStringLiteral("Rename failed"), refusal);
        return false;
    }
    if (refusedAsBusy(media, QStringLiteral("Rename failed")))
        return false;

    callWatcher(false, false);
    if (!folder) {
        QFile probe(old.absoluteFilePath());
        if (!probe.open(QIODevice::ReadWrite)) {
            warn(QStringLiteral("File error"), QStringLiteral("This file is in use"));
            callWatcher(true, false);
            return false;
        }
    }
    const QString oldPath = old.absoluteFilePath();
    const QString newPath = old.absoluteDir().filePath(name);
    QFile file(oldPath);
    if (!file.rename(newPath)) {
        warn(QStringLiteral("File error"),
             QStringLiteral("Rename failed:\n%1").arg(file.errorString()));
        callWatcher(true, false);
        return false;
    }

    media.setPath(newPath);
    carry(media, oldPath);
    callWatcher(true, notify);
    return true;
}
