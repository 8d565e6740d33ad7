#pragma once

#include <QString>
#include <QStringList>

#include <vector>

/// One reading of a folder that serves everything the media library wants from it at once:
/// every entry's name and type, from the directory alone. Only links and the entries of file
/// systems that keep no type in their directories cost a status call; sizes and times are left
/// to the rows that are shown.
class FolderListing
{
public:
    enum Type { Other, Folder, File };

    struct Entry
    {
        QString name;
        Type type = Other;
        bool hidden = false;
    };

    /// Reads `folder`, following links; the type of a hidden entry is not looked up. An
    /// unreadable folder lists nothing.
    explicit FolderListing(const QString &folder);
    /// The names of every entry, hidden ones and sockets too, without a status call.
    static QStringList names(const QString &folder);

    const std::vector<Entry> &entries() const { return listed; }
    QStringList allNames() const;
    /// The files, links to files included, hidden ones left out.
    QStringList fileNames() const;

private:
    std::vector<Entry> listed;
};
