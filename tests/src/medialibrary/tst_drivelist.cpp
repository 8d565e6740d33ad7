#include <DriveList.h>
#include <MountListener.h>
#include <VeloraTest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>

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
    QFile file(dir.filePath(u"mountinfo"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(table) != table.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
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
        QTest::newRow("kinds, then paths")
                << "20 1 0:40 / /media/tester/disk10 rw - exfat /dev/sdc1 rw\n"
                   "21 1 0:41 / /srv/share rw - nfs4 server:/export rw\n"
                   "22 1 0:42 / /mnt/data rw - ext4 /dev/sda3 rw\n"
                   "23 1 0:43 / /media/tester/DVD ro - iso9660 /dev/sr0 ro\n"
                   "24 1 0:44 / /media/tester/disk2 rw shared:5 master:2 - vfat /dev/sdb1 rw\n"
                   "25 1 0:45 / /cdrom ro - udf /dev/sr1 ro\n"
                   "26 1 0:46 / /home/tester/nas rw - fuse.sshfs tester@host: rw\n"
                   "27 1 0:47 / /run/media/tester/My\\040Stick rw - ntfs3 /dev/sdd1 rw\n"_ba
                << u"Removable /media/tester/disk2 vfat; Removable /media/tester/disk10 exfat; "
                   "Removable /run/media/tester/My Stick ntfs3; CdRom /cdrom udf; "
                   "CdRom /media/tester/DVD iso9660; Fixed /mnt/data ext4; "
                   "Remote /home/tester/nas fuse.sshfs; Remote /srv/share nfs4"_s.split(u"; "_s);
        QTest::newRow("left out, damaged lines, the last mount over a path")
                << "1 0 0:21 / /mnt/target/proc rw - proc proc rw\n2 0 0:20 / / rw - ext4 v rw\n"
                   "3 2 0:23 / /mnt/target/sys/fs/cgroup rw - cgroup2 c rw\n"
                   "4 2 8:1 / /boot rw - vfat b rw\n5 2 0:30 / /scratch rw - tmpfs t rw\n"
                   "6 2 0:33 / /home/tester rw - nfs4 s:/home rw\n"
                   "7 2 7:3 / /media/tester/iso ro - iso9660 /dev/loop3 ro\n"
                   "8 2 7:4 / /snap/core/1 ro - squashfs s ro\n9 2 0:32 / /mnt/a rw - autofs a rw\n"
                   "10 2 0:34 / /srv/host rw - 9p h rw\n11 2 0:35 / /var/x rw - nfs4 s:/x rw\n"
                   "12 2 0:36 / /mnt/y rw no-separator ext4\n13 2 x:5 / /mnt/z rw - ext4 z\n"
                   "14 2 0:52 / nas rw - nfs4 s:/n rw\n15 2 0:50 / /mnt/x rw - ext4 /dev/sdb1 rw\n"
                   "16 2 0:51 / /mnt/x rw - tmpfs x rw\ngarbage"_ba
                << QStringList{u"Fixed /mnt/x tmpfs"_s};
        // A disk the system knows as fixed stays fixed whatever it is formatted with.
        struct stat root = {};
        const bool onDisk = stat("/", &root) == 0 && major(root.st_dev) != 0;
        const QByteArray device = QByteArray::number(major(root.st_dev)) + ':'
                + QByteArray::number(minor(root.st_dev));
        QTest::newRow("known to udev")
                << (onDisk ? "40 1 " + device + " / /media/tester/d rw - vfat d rw" : QByteArray())
                << QStringList{u"Fixed /media/tester/d vfat"_s};
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
        QCOMPARE(described(listDrives(scan)), QStringList{u"Home /home/tester"_s} + drives);
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
        const QString stick = media.filePath(u"STICK"_s);
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
        // Later comparisons find the table as it was.
        QTest::qWait(1200);
        QCOMPARE(changed.count(), 1);
    }
};

VELORA_TEST_MAIN(TestDriveList)
#include "tst_drivelist.moc"
