#include "DriveList.h"

#include <LogModule.h>

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <libudev.h>
#include <pwd.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const LogModule driveLog("velora/medialibrary");

struct UdevDeleter
{
    void operator()(udev *handle) const { udev_unref(handle); }
    void operator()(udev_device *handle) const { udev_device_unref(handle); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevDeleter>;

struct Mount
{
    unsigned major = 0;
    unsigned minor = 0;
    QString mountPoint;
    QString type;
    QString source;
};

QSet<QString> setOf(const char *names)
{
    const QStringList list = QString::fromLatin1(names).split(u' ', Qt::SkipEmptyParts);
    return {list.cbegin(), list.cend()};
}

// Kernel and desktop plumbing that is never a place for documents, wherever it is mounted.
const QSet<QString> pseudoTypes = setOf(
        "proc sysfs devtmpfs devpts mqueue debugfs tracefs securityfs pstore bpf autofs fusectl "
        "configfs binfmt_misc hugetlbfs overlay squashfs efivarfs rpc_pipefs nsfs selinuxfs nfsd "
        "rootfs cpuset fuse.gvfsd-fuse fuse.portal fuse.lxcfs fuse.snapfuse");
const QSet<QString> networkTypes = setOf("nfs nfs4 cifs smb3 smbfs ncpfs ceph afs glusterfs "
                                         "fuse.glusterfs fuse.sshfs fuse.rclone davfs fuse.davfs2 "
                                         "fuse.s3fs");
// A virtual machine's shares with its host are remote too, but virtual machines and sandboxes
// also use them for their own plumbing files, so they only count under the mount roots.
const QSet<QString> hostShareTypes = setOf("9p virtiofs");
const QSet<QString> opticalTypes = setOf("iso9660 udf");
// What a memory card or stick is formatted with, for devices udev cannot tell about.
const QSet<QString> removableTypes = setOf("vfat exfat ntfs ntfs3 fuseblk msdos");

const QSet<QString> systemMountPoints = setOf("/ /boot /boot/efi /efi /usr /var /home /opt /srv "
                                              "/tmp /root");
const QStringList systemTrees
        = setOf("/proc /sys /dev /run /boot /efi /usr /var /snap /etc").values();

constexpr unsigned LoopMajor = 7;

bool isAtOrUnder(const QString &path, const QString &folder)
{
    if (folder == u"/")
        return true;
    return path == folder
            || (path.startsWith(folder) && path.size() > folder.size()
                && path.at(folder.size()) == u'/');
}

/// The mount table writes space, tab, newline and backslash as three octal digits.
QByteArray unescape(const QByteArray &field)
{
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype at) {
            return at < field.size() && field.at(at) >= '0' && field.at(at) <= '7';
        };
        if (field.at(i) == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            decoded += char(((field.at(i + 1) - '0') << 6) | ((field.at(i + 2) - '0') << 3)
                            | (field.at(i + 3) - '0'));
            i += 3;
        } else {
            decoded += field.at(i);
        }
    }
    return decoded;
}

QString decodedField(const QByteArray &field)
{
    return QFile::decodeName(unescape(field));
}

/// The mounts of `table`, each mount point once: a later mount over the same path hides the
/// earlier one. Lines that do not have the mount table's shape are passed over.
QList<Mount> parseMountInfo(const QByteArray &table)
{
    QList<Mount> mounts;
    QHash<QString, qsizetype> indexOfPoint;
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source options
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"), 6);
        const QList<QByteArray> device = fields.value(2).split(':');
        Mount mount;
        bool majorOk = false, minorOk = false;
        mount.major = device.value(0).toUInt(&majorOk);
        mount.minor = device.value(1).toUInt(&minorOk);
        if (separator < 0 || separator + 1 >= fields.size() || device.size() != 2 || !majorOk
            || !minorOk || !fields.at(4).startsWith('/'))
            continue;
        mount.mountPoint = QDir::cleanPath(decodedField(fields.at(4)));
        mount.type = decodedField(fields.at(separator + 1));
        mount.source = decodedField(fields.value(separator + 2));
        if (const auto known = indexOfPoint.constFind(mount.mountPoint);
            known != indexOfPoint.cend())
            mounts[*known] = mount;
        else {
            indexOfPoint.insert(mount.mountPoint, mounts.size());
            mounts << mount;
        }
    }
    return mounts;
}

bool flagged(udev_device *device, const char *property)
{
    const char *value = udev_device_get_property_value(device, property);
    return value && qstrcmp(value, "1") == 0;
}

/// The kind of a block device from what udev knows about it and about the disk it is part of.
/// Where udev has no database (containers), the sysfs attributes and the device's place on the
/// USB or MMC bus still tell.
Drive::Kind udevKind(udev *context, udev_device *device, int depth = 0)
{
    const char *name = udev_device_get_sysname(device);
    if (flagged(device, "ID_CDROM") || (name && qstrncmp(name, "sr", 2) == 0))
        return Drive::Kind::CdRom;
    const char *bus = udev_device_get_property_value(device, "ID_BUS");
    if ((bus && qstrcmp(bus, "usb") == 0) || flagged(device, "ID_DRIVE_FLASH_SD")
        || flagged(device, "ID_DRIVE_MEDIA_FLASH_SD")
        || udev_device_get_parent_with_subsystem_devtype(device, "usb", nullptr)
        || udev_device_get_parent_with_subsystem_devtype(device, "mmc", nullptr))
        return Drive::Kind::Removable;
    udev_device *disk = udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
    for (udev_device *each : {device, disk}) {
        const char *removable = each ? udev_device_get_sysattr_value(each, "removable") : nullptr;
        if (removable && qstrcmp(removable, "1") == 0)
            return Drive::Kind::Removable;
    }
    // An encrypted or mapped volume is as removable as the one device it sits on.
    const QDir slaves(QString::fromUtf8(udev_device_get_syspath(device)) + u"/slaves"_s);
    const QStringList below = slaves.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (below.size() == 1 && depth < 4) {
        UdevDevicePtr lower(udev_device_new_from_subsystem_sysname(
                context, "block", below.first().toUtf8().constData()));
        if (lower)
            return udevKind(context, lower.get(), depth + 1);
    }
    return Drive::Kind::Fixed;
}

Drive::Kind kindOf(udev *context, const Mount &mount, bool underRoot)
{
    if (networkTypes.contains(mount.type) || hostShareTypes.contains(mount.type))
        return Drive::Kind::Remote;
    if (opticalTypes.contains(mount.type))
        return Drive::Kind::CdRom;
    // Major 0 is the kernel's anonymous devices: memory and network file systems, no disk.
    if (context && mount.major != 0) {
        if (UdevDevicePtr device{
                    udev_device_new_from_devnum(context, 'b', makedev(mount.major, mount.minor))})
            return udevKind(context, device.get());
    }
    return underRoot && removableTypes.contains(mount.type) ? Drive::Kind::Removable
                                                            : Drive::Kind::Fixed;
}

bool isSystemMount(const QString &mountPoint)
{
    return systemMountPoints.contains(mountPoint)
            || std::any_of(systemTrees.cbegin(), systemTrees.cend(),
                           [&](const QString &tree) { return isAtOrUnder(mountPoint, tree); });
}

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) {
        if (const passwd *entry = getpwuid(geteuid()))
            name = QString::fromLocal8Bit(entry->pw_name);
    }
    return name;
}

} // namespace

DriveScan DriveScan::system()
{
    DriveScan scan;
    scan.mountInfo = u"/proc/self/mountinfo"_s;
    if (const QString user = userName(); !user.isEmpty())
        scan.mountRoots << u"/media/"_s + user << u"/run/media/"_s + user;
    // Some desktops mount directly into /media.
    scan.mountRoots << u"/mnt"_s << u"/media"_s;
    scan.home = QDir::homePath();
    return scan;
}

QList<Drive> listDrives(const DriveScan &scan)
{
    QList<Drive> drives;
    const QString home = scan.home.isEmpty() ? QString() : QDir::cleanPath(scan.home);
    if (!home.isEmpty())
        drives << Drive{home, Drive::Kind::Home, {}};

    QFile file(scan.mountInfo);
    if (!file.open(QIODevice::ReadOnly)) {
        driveLog.log(4, "listDrives - cannot read %s: %s", qPrintable(scan.mountInfo),
                     qPrintable(file.errorString()));
        return drives;
    }
    QStringList roots;
    for (const QString &root : scan.mountRoots)
        roots << QDir::cleanPath(root);
    const UdevPtr context{udev_new()};
    for (const Mount &mount : parseMountInfo(file.readAll())) {
        if (pseudoTypes.contains(mount.type) || mount.type.startsWith(u"cgroup")
            || mount.major == LoopMajor || mount.source.startsWith(u"/dev/loop")
            || mount.mountPoint == home)
            continue;
        const bool underRoot = std::any_of(roots.cbegin(), roots.cend(), [&](const QString &root) {
            return isAtOrUnder(mount.mountPoint, root);
        });
        if (!underRoot && (isSystemMount(mount.mountPoint) || hostShareTypes.contains(mount.type)))
            continue;
        const Drive::Kind kind = kindOf(context.get(), mount, underRoot);
        if (underRoot || kind == Drive::Kind::Remote || kind == Drive::Kind::CdRom)
            drives << Drive{mount.mountPoint, kind, mount.type};
    }

    // The C locale compares code points, which would put "disk10" before "disk2".
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setNumericMode(true);
    std::stable_sort(drives.begin(), drives.end(), [&](const Drive &a, const Drive &b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        return collator.compare(a.rootPath, b.rootPath) < 0;
    });
    return drives;
}
