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

FolderListing::Type typeOf(int folder, const char *name, unsigned char direntType)
{
    if (direntType == DT_REG)
        return FolderListing::File;
    if (direntType == DT_DIR)
        return FolderListing::Folder;
    if (direntType != DT_LNK && direntType != DT_UNKNOWN)
        return FolderListing::Other;
    // A dangling link lists as nothing, as it does for QDir.
    struct stat status;
    if (fstatat(folder, name, &status, 0) != 0)
        return FolderListing::Other;
    return S_ISDIR(status.st_mode)    ? FolderListing::Folder
            : S_ISREG(status.st_mode) ? FolderListing::File
                                      : FolderListing::Other;
}

} // namespace

FolderListing::FolderListing(const QString &folder)
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
        if (!entry.hidden)
            entry.type = typeOf(fd, found->d_name, found->d_type);
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
