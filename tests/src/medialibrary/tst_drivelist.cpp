#include <DriveList.h>
#include <MountListener.h>
#include <VeloraTest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QStringList described(const QList<Drive> &drives)
{
    static const char *const kinds[] = {"Home", "Removable", "CdRom", "Fixed", "Remote"};
    QStringList lines;
    for (const Drive &drive : drives)
        lines << u"%1 %2 %3"_s.arg(kinds[int(drive.kind)], drive.rootPath, drive.fileSystem)
                         .trimmed();
    return lines;
}

QString written(const QByteArray &table)
{
    static const QTemporaryDir dir;
    const QString path = dir.filePath(u"mountinfo"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(table) != table.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace

class TestDriveList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsTheVolumesOfTheMountTable_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QStringList>("drives");
        const QString home = u"Home /home/tester"_s;
        QTest::newRow("kinds, then paths")
                << "20 1 0:40 / /media/tester/disk10 rw - exfat /dev/sdc1 rw\n"
                   "21 1 0:41 / /srv/share rw - nfs4 server:/export rw\n"
                   "22 1 0:42 / /mnt/data rw - ext4 /dev/sda3 rw\n"
                   "23 1 0:43 / /media/tester/DVD ro - iso9660 /dev/sr0 ro\n"
                   "24 1 0:44 / /media/tester/disk2 rw shared:5 master:2 - vfat /dev/sdb1 rw\n"
                   "25 1 0:45 / /cdrom ro - udf /dev/sr1 ro\n"
                   "26 1 0:46 / /home/tester/nas rw - fuse.sshfs tester@host: rw\n"
                   "27 1 0:47 / /run/media/tester/My\\040Stick rw - ntfs3 /dev/sdd1 rw\n"_ba
                << QStringList{home,
                               u"Removable /media/tester/disk2 vfat"_s,
                               u"Removable /media/tester/disk10 exfat"_s,
                               u"Removable /run/media/tester/My Stick ntfs3"_s,
                               u"CdRom /cdrom udf"_s,
                               u"CdRom /media/tester/DVD iso9660"_s,
                               u"Fixed /mnt/data ext4"_s,
                               u"Remote /home/tester/nas fuse.sshfs"_s,
                               u"Remote /srv/share nfs4"_s};
        QTest::newRow("system and pseudo mounts")
                << "1 0 0:21 / /proc rw - proc proc rw\n"
                   "2 0 0:20 / / rw - ext4 /dev/vda rw\n"
                   "3 2 0:23 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
                   "4 2 8:1 / /boot rw - vfat /dev/sda1 rw\n"
                   "5 2 0:30 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                   "6 2 7:3 / /media/tester/image ro - iso9660 /dev/loop3 ro\n"
                   "7 2 7:4 / /snap/core/123 ro - squashfs /dev/loop4 ro\n"
                   "8 2 0:32 / /mnt/auto rw - autofs systemd-1 rw\n"
                   "9 2 0:33 / /home/tester rw - ext4 /dev/sda5 rw\n"
                   "10 2 0:34 / /srv/host rw - 9p host rw\n"
                   "11 2 0:35 / /var/lib/share rw - nfs4 server:/x rw\n"_ba
                << QStringList{home};
        QTest::newRow("last mount over a path, damaged lines")
                << "garbage\n30 1 0:50 / /mnt/x rw - ext4 /dev/sdb1 rw\n"
                   "31 1 0:51 / /mnt/x rw - tmpfs stick rw\n"
                   "32 1 0:52 / /mnt/y rw no-separator ext4\n"
                   "33 1 x:y / /mnt/z rw - ext4 /dev/sdb2 rw\n"
                   "34 1 0:53 / /media/tester/RAM rw - tmpfs tmpfs"_ba
                << QStringList{home, u"Fixed /media/tester/RAM tmpfs"_s, u"Fixed /mnt/x tmpfs"_s};

        // A disk the system knows as fixed stays fixed whatever it is formatted with.
        QFile mounts(u"/proc/self/mountinfo"_s);
        QByteArray rootDevice;
        if (mounts.open(QIODevice::ReadOnly))
            for (const QByteArray &line : mounts.readAll().split('\n'))
                if (line.split(' ').value(4) == "/")
                    rootDevice = line.split(' ').value(2);
        const bool anonymous = rootDevice.isEmpty() || rootDevice.startsWith("0:");
        QTest::newRow("known to udev")
                << (anonymous ? QByteArray()
                              : "40 1 " + rootDevice + " / /media/tester/disk rw - vfat /dev/d rw")
                << QStringList{home, u"Fixed /media/tester/disk vfat"_s};
    }
    void listsTheVolumesOfTheMountTable()
    {
        QFETCH(QByteArray, table);
        QFETCH(QStringList, drives);
        if (table.isEmpty())
            QSKIP("the root file system is on no block device here");
        const DriveScan scan{written(table),
                             {u"/media/tester"_s, u"/run/media/tester"_s, u"/mnt"_s, u"/media"_s},
                             u"/home/tester"_s};
        QCOMPARE(described(listDrives(scan)), drives);
    }

    void mountedVolumeComesAndGoes()
    {
        // The volume is mounted in a copy of this program with a mount namespace of its own, so
        // the machine never sees it.
        if (!VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(
                    u"unshare --mount --propagation private"_s.split(u' ')));
            return;
        }
        QTemporaryDir media;
        const QString stick = media.path() + u"/STICK"_s;
        QVERIFY(QDir().mkpath(stick));
        const DriveScan scan{u"/proc/self/mountinfo"_s, {media.path()}, {}};
        MountListener listener;
        QSignalSpy changed(&listener, &MountListener::usbDeviceChanged);
        QCOMPARE(QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"velora"_s, stick}), 0);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(described(listDrives(scan)), QStringList{u"Fixed %1 tmpfs"_s.arg(stick)});
        // The kernel's notice came, so the table is no longer compared twice a second.
        QVERIFY(!listener.findChild<QTimer *>()->isActive());
        QCOMPARE(QProcess::execute(u"umount"_s, {stick}), 0);
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(described(listDrives(scan)), QStringList());
    }

    void listenerComparesTheTableWhereTheKernelIsSilent()
    {
        // A plain file never raises the kernel's notice, as the mount table in some containers.
        const QByteArray root = "1 0 0:20 / / rw - ext4 /dev/vda rw\n";
        MountListener listener(nullptr, written(root));
        QSignalSpy changed(&listener, &MountListener::usbDeviceChanged);
        written(root + "2 1 0:40 / /mnt/a rw - vfat a rw\n");
        QTRY_COMPARE(changed.count(), 1);
        written(root + "2 1 0:40 / /mnt/a rw - vfat a rw\n");
        QTest::qWait(1200);
        QCOMPARE(changed.count(), 1);
    }
};

VELORA_TEST_MAIN(TestDriveList)
#include "tst_drivelist.moc"
