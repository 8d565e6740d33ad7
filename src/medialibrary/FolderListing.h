#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <limits>
#include <vector>

/// One reading of a folder that serves everything the media library wants from it: every
/// entry's name, and for the entries it shows (folders and files, hidden ones left out) their
/// type, size and creation time, from one directory read and one status call per entry shown.
class FolderListing
{
public:
    enum Type { Other, Folder, File };
    static constexpr qint64 NoTime = std::numeric_limits<qint64>::min();

    struct Entry
    {
        QString name;
        Type type = Other;
        bool hidden = false;
        qint64 size = 0;
        /// Milliseconds since the epoch: the birth time, or the last change where the file
        /// system keeps none; NoTime when unknown.
        qint64 created = NoTime;
    };

    /// Reads `folder`. `details(name)` says which files need their size and time; folders
    /// always have them, hidden entries never. An unreadable folder lists nothing.
    FolderListing(const QString &folder, const std::function<bool(const QString &)> &details);
    /// The names of every entry, hidden ones and sockets too, without a status call.
    static QStringList names(const QString &folder);

    const std::vector<Entry> &entries() const { return listed; }
    QStringList allNames() const;
    /// The files, links to files included, hidden ones left out.
    QStringList fileNames() const;

private:
    std::vector<Entry> listed;
};
