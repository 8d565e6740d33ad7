#pragma once

#include <QString>

class QWidget;

/// Copies and moves media files between the user's folders for the library's drag and drop,
/// with a move carrying the file's information, thumbnail and index rows along.
class MediaFileTransfer
{
public:
    /// The path a copy of `source` into `destination` (a folder, or a path whose folder is
    /// meant) gets: the same name, or "Copy0-name", "Copy1-name"... when that is taken.
    static QString copyTarget(const QString &source, const QString &destination);
    /// Copies `source` into `destination` with a progress dialog; true when the copy is
    /// complete.
    static bool copyFile(const QString &source, const QString &destination,
                         QWidget *parent = nullptr);

    /// Whether `source` may be moved into `folder` now: tells the user why not, or asks
    /// whether a file of the same name there is to be replaced.
    static bool mayMove(const QString &source, const QString &folder, QWidget *parent = nullptr);
    /// Moves `source` into `folder`, renaming it within a volume and copying then deleting it
    /// across volumes. True when it is there and gone from where it was.
    static bool moveFile(const QString &source, const QString &folder, QWidget *parent = nullptr);
};
