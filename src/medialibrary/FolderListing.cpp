#include "FolderListing.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

Dir openFolder(const QString &folder)
{
    return Dir(opendir(QFile::encodeName(folder).constData()));
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

qint64 milliseconds(const statx_timestamp &time)
{
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000;
}

// The entry's type, following links, with its size and time when `details`; what the kernel
// says the entry is when it cannot be asked (no search permission on the folder).
void describe(int folder, const char *name, unsigned char direntType, bool details,
              FolderListing::Entry &entry)
{
    // A plain file or folder needs no status call unless its details are wanted.
    if (!details && direntType == DT_REG) {
        entry.type = FolderListing::File;
        return;
    }
    struct statx status
    { };
    if (statx(folder, name, AT_STATX_SYNC_AS_STAT,
              STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &status)
        != 0) {
        // A dangling link lists as nothing, as it does for QDir.
        entry.type = direntType == DT_DIR ? FolderListing::Folder
                : direntType == DT_REG    ? FolderListing::File
                                          : FolderListing::Other;
        return;
    }
    entry.type = S_ISDIR(status.stx_mode) ? FolderListing::Folder
            : S_ISREG(status.stx_mode)    ? FolderListing::File
                                          : FolderListing::Other;
    entry.size = qint64(status.stx_size);
    // Not every file system keeps a birth time.
    entry.created = (status.stx_mask & STATX_BTIME) ? milliseconds(status.stx_btime)
                                                    : milliseconds(status.stx_mtime);
}

} // namespace

FolderListing::FolderListing(const QString &folder,
                             const std::function<bool(const QString &)> &details)
{
    const Dir dir = openFolder(folder);
    if (!dir)
        return;
    const int fd = dirfd(dir.get());
    while (const dirent *found = readdir(dir.get())) {
        if (isDotOrDotDot(found->d_name))
            continue;
        Entry entry;
        entry.name = QFile::decodeName(found->d_name);
        entry.hidden = found->d_name[0] == '.';
        if (!entry.hidden) {
            describe(fd, found->d_name, found->d_type,
                     found->d_type == DT_DIR || details(entry.name), entry);
        }
        listed.push_back(std::move(entry));
    }
}

QStringList FolderListing::names(const QString &folder)
{
    QStringList found;
    const Dir dir = openFolder(folder);
    if (!dir)
        return found;
    while (const dirent *entry = readdir(dir.get())) {
        if (!isDotOrDotDot(entry->d_name))
            found << QFile::decodeName(entry->d_name);
    }
    return found;
}

QStringList FolderListing::allNames() const
{
    QStringList found;
    found.reserve(qsizetype(listed.size()));
    for (const Entry &entry : listed)
        found << entry.name;
    return found;
}

QStringList FolderListing::fileNames() const
{
    QStringList found;
    found.reserve(qsizetype(listed.size()));
    for (const Entry &entry : listed) {
        if (!entry.hidden && entry.type == File)
            found << entry.name;
    }
    return found;
}
