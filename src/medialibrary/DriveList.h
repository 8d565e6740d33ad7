#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// One entry of the media library's "My Computer" list: a place the teacher can browse.
struct Drive
{
    enum class Kind { Home, Removable, CdRom, Fixed, Remote };
    QString rootPath; // absolute mount point (the home folder for Home)
    Kind kind = Kind::Fixed;
    QString fileSystem; // the mount table's type: "ext4", "vfat", "nfs4", ... (empty for Home)
};

/// Where the scan looks; the default is the real system. Tests point it at a fake tree.
struct DriveScan
{
    QString mountInfo; // a file in the format of /proc/self/mountinfo
    QStringList mountRoots; // where desktops and administrators mount volumes
    QString home;

    /// /proc/self/mountinfo, /media/$USER, /run/media/$USER, /mnt, /media and the home folder.
    static DriveScan system();
};

/// The home folder first, then the volumes a user would browse: everything mounted under the
/// mount roots, network shares and optical discs wherever they are mounted, never pseudo or
/// system mounts, loop devices or snaps. Ordered by kind (Home, Removable, CdRom, Fixed, Remote),
/// then by path with numbers compared by value.
QList<Drive> listDrives(const DriveScan &scan = DriveScan::system());
