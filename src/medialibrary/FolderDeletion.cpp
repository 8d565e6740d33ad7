#include "FolderDeletion.h"

#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "MediaLibTableModel.h"
#include "ShownMediaRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool published(const MediaIntf &media)
{
    for (int site = 0; site < MediaIntf::SiteCount; ++site) {
        const auto one = MediaIntf::Site(site);
        if (!media.link(one).isEmpty() || !media.remoteId(one).isEmpty())
            return true;
    }
    return false;
}

bool writable(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// A file that is busy in the kernel's eyes (a running program's text, for one) cannot be
// opened for writing although its permissions allow it. Only regular files are tried: opening a
// pipe would wait for a reader, and a link is deleted, never its target.
bool opensForWriting(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::lstat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return true;
    const int fd = ::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

FolderDeletion::FolderDeletion(const QString &folder, const MediaInfoStore &store)
    : root(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))
{
    walk(root, store);
}

void FolderDeletion::walk(const QString &folder, const MediaInfoStore &store)
{
    const QFileInfoList children = QDir(folder).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &child : children) {
        if (child.isDir() && !child.isSymLink())
            walk(child.absoluteFilePath(), store);
    }
    for (const QFileInfo &child : children) {
        if (child.isDir() && !child.isSymLink())
            continue;
        Entry entry{child.absoluteFilePath()};
        // This folder's place once its sub-folders are listed.
        entry.folder = folderList.size();
        const ShownMediaRecord &record = *store.shownMedia();
        entry.busy = record.isRecording(entry.path) || record.isOnScreen(entry.path)
                || record.thumbnailInProgress() == entry.path;
        const int kind = MediaLibTableModel::kindOfFileName(child.fileName());
        if (kind == MediaIntf::Other) {
            entry.kinds |= NonMedia;
        } else {
            if (child.fileName().startsWith(QLatin1Char('.')))
                entry.kinds |= HiddenMedia;
            MediaImpl media(entry.path, kind);
            store.readInformation(media);
            if (media.isInUploadQueue() || record.isInUploadQueue(entry.path))
                entry.kinds |= Uploading;
            if (published(media))
                entry.kinds |= UploadedBefore;
        }
        if (!child.isSymLink() && !writable(entry.path))
            entry.kinds |= ReadOnly;
        entries.append(entry);
    }
    folderList.append(folder);
}

int FolderDeletion::count(Kind kind) const
{
    return int(std::count_if(entries.cbegin(), entries.cend(),
                             [kind](const Entry &entry) { return entry.kinds & kind; }));
}

QStringList FolderDeletion::files() const
{
    QStringList chosen;
    for (const Entry &entry : entries) {
        if (deleted(entry))
            chosen.append(entry.path);
    }
    return chosen;
}

QString FolderDeletion::problem() const
{
    // The folders are listed deepest first and the files in their folders' order, so one pass
    // looks at every sub-folder before the files beside it.
    qsizetype next = 0;
    for (qsizetype folder = 0; folder < folderList.size(); ++folder) {
        if (!writable(folderList.at(folder)))
            return QStringLiteral("Folder: %1 is read-only\n")
                    .arg(QFileInfo(folderList.at(folder)).fileName());
        for (; next < entries.size() && entries.at(next).folder == folder; ++next) {
            const Entry &entry = entries.at(next);
            if (!deleted(entry))
                continue;
            const QString name = QFileInfo(entry.path).fileName();
            if (entry.kinds & ReadOnly)
                return QStringLiteral("File: %1 is read-only\n").arg(name);
            if (entry.busy || entry.kinds & Uploading || !opensForWriting(entry.path))
                return QStringLiteral("File: %1 is in use\n").arg(name);
        }
    }
    return QString();
}
