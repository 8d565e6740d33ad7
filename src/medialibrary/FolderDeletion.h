#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

class MediaInfoStore;

/// What deleting a folder tree would touch, gathered before anything is deleted.
///
/// The summary counts five kinds of files the user may want to keep; a file can be of several
/// kinds. A kind the user leaves unchecked is kept: its files stay, and so do the folders that
/// hold them. Everything else is deleted, files first, then the folders that are left empty,
/// deepest first.
class FolderDeletion
{
public:
    enum Kind {
        Uploading = 0x01,
        NonMedia = 0x02,
        HiddenMedia = 0x04,
        UploadedBefore = 0x08,
        ReadOnly = 0x10,
    };
    static constexpr std::array<Kind, 5> Kinds{Uploading, NonMedia, HiddenMedia, UploadedBefore,
                                               ReadOnly};

    /// Walks `folder` with everything in it; symbolic links are deleted, never followed.
    FolderDeletion(const QString &folder, const MediaInfoStore &store);

    QString folder() const { return root; }
    int count(Kind kind) const;
    /// The files of these kinds (or-ed Kind values) stay.
    void keep(int kinds) { kept = kinds; }

    /// The first reason the chosen files cannot all be deleted, in the words the user is told,
    /// or an empty text. Sub-folders are looked at before the files beside them, so that the
    /// deepest problem is named.
    QString problem() const;

    /// The files to delete, deepest folders' first.
    QStringList files() const;
    /// Every folder of the tree, deepest first, ending with the folder itself.
    QStringList folders() const { return folderList; }

private:
    struct Entry
    {
        QString path;
        int kinds = 0;
        /// Where in folderList the file's folder is.
        qsizetype folder = 0;
        /// Recorded, shown, played or thumbnailed now.
        bool busy = false;
    };
    void walk(const QString &folder, const MediaInfoStore &store);
    bool deleted(const Entry &entry) const { return !(entry.kinds & kept); }

    QString root;
    QList<Entry> entries;
    QStringList folderList;
    int kept = 0;
};
