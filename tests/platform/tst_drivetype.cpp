#include "platform/drivetype.h"
#include "platform/mounttable.h"
#include "testprogramdir.h"

#include <QDir>
#include <QTest>

using platform::DriveType;
using platform::MountEntry;
using platform::MountTable;

Q_DECLARE_METATYPE(DriveType)

namespace {

const char* const sampleMountInfo =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
    "30 27 0:27 / /dev/shm rw,relatime shared:4 - tmpfs tmpfs rw,size=24683772k\n"
    "40 27 8:17 / /mnt/data rw,relatime shared:20 master:3 - ext4 /dev/sdb1 rw\n"
    "41 27 8:33 / /mnt/data2 rw,relatime - ext4 /dev/sdc1 rw\n"
    "42 27 0:50 / /mnt/nas rw,relatime - nfs4 server:/export rw\n"
    "43 27 0:51 / /mnt/share rw - cifs //server/share rw\n"
    "44 27 0:52 / /home/u/remote rw,nosuid - fuse.sshfs u@host:/ rw\n"
    "45 27 11:0 / /mnt/cdrom ro - iso9660 /dev/sr0 ro\n"
    "46 27 11:1 / /mnt/dvd ro - udf /dev/sr1 ro\n"
    "47 27 8:49 / /run/media/u/USB\\040STICK rw - vfat /dev/sdd1 rw\n"
    "48 27 8:65 / /media/backup rw - ext4 /dev/sde1 rw\n"
    "49 27 0:60 / /ram rw - ramfs ramfs rw\n"
    "50 27 259:2 / /mnt/with\\134backslash\\011tab rw - xfs /dev/nvme0n1p2 rw\n"
    "51 40 8:18 / /mnt/data rw - ext4 /dev/sdb2 rw\n"
    "garbage line without fields\n"
    "52 27 x:y / /broken rw - ext4 /dev/x rw\n"
    "53 27 0:70 / /no-separator rw ext4 /dev/y rw\n"
    "\n";

bool removableSdb(unsigned major, unsigned minor) {
    return major == 8 && (minor == 16 || minor == 18); // an USB disk sdb and its partitions
}

void writeText(const std::filesystem::path& file, const char* text) {
    std::filesystem::create_directories(file.parent_path());
    QFile out(QString::fromStdString(file.string()));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(text);
}

} // namespace

class DriveTypeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsesMountInfo();
    void skipsMalformedLines();
    void findsMountOfPath_data();
    void findsMountOfPath();
    void classifiesMounts_data();
    void classifiesMounts();
    void readsRemovableFlagFromSysfs();
    void judgesRealPaths();
    void missingPathsWalkUp();
};

void DriveTypeTest::parsesMountInfo() {
    const MountTable table = MountTable::parse(sampleMountInfo);
    QCOMPARE(table.entries().size(), std::size_t(15));
    const MountEntry& data = table.entries()[3];
    QCOMPARE(data.major, 8u);
    QCOMPARE(data.minor, 17u);
    QCOMPARE(data.mountPoint.string(), std::string("/mnt/data"));
    QCOMPARE(data.fsType, std::string("ext4"));
    QCOMPARE(data.source, std::string("/dev/sdb1"));
    QCOMPARE(table.entries()[6].source, std::string("//server/share"));
    QCOMPARE(table.entries()[10].mountPoint.string(), std::string("/run/media/u/USB STICK"));
    QCOMPARE(table.entries()[13].mountPoint.string(), std::string("/mnt/with\\backslash\ttab"));
}

void DriveTypeTest::skipsMalformedLines() {
    QVERIFY(MountTable::parse("").entries().empty());
    QVERIFY(MountTable::parse("1 2 3\n\n- - -\n").entries().empty());
    QVERIFY(MountTable::parse("1 2 0:1 / /x rw -\n").entries().empty()); // no type after the separator
    const MountTable table = MountTable::parse("1 2 0:1 / /x\\04 rw - tmpfs\n");
    QCOMPARE(table.entries().size(), std::size_t(1));
    QCOMPARE(table.entries()[0].mountPoint.string(), std::string("/x\\04")); // cut escape kept as is
}

void DriveTypeTest::findsMountOfPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("mountPoint");
    QTest::addColumn<QString>("source");
    QTest::newRow("root") << "/"
                          << "/"
                          << "/dev/vda";
    QTest::newRow("home") << "/home/u/docs"
                          << "/"
                          << "/dev/vda";
    QTest::newRow("exact mount point") << "/mnt/nas"
                                       << "/mnt/nas"
                                       << "server:/export";
    QTest::newRow("below a mount") << "/mnt/nas/backups/2024"
                                   << "/mnt/nas"
                                   << "server:/export";
    QTest::newRow("name prefix is not a parent") << "/mnt/data2/x"
                                                 << "/mnt/data2"
                                                 << "/dev/sdc1";
    QTest::newRow("sibling with longer name") << "/mnt/database"
                                              << "/"
                                              << "/dev/vda";
    QTest::newRow("mounted on top wins") << "/mnt/data/x"
                                         << "/mnt/data"
                                         << "/dev/sdb2";
    QTest::newRow("escaped blank") << "/run/media/u/USB STICK/b"
                                   << "/run/media/u/USB STICK"
                                   << "/dev/sdd1";
}

void DriveTypeTest::findsMountOfPath() {
    QFETCH(QString, path);
    QFETCH(QString, mountPoint);
    QFETCH(QString, source);
    const MountTable table = MountTable::parse(sampleMountInfo);
    const MountEntry* mount = table.mountOf(path.toStdString());
    QVERIFY(mount);
    QCOMPARE(QString::fromStdString(mount->mountPoint.string()), mountPoint);
    QCOMPARE(QString::fromStdString(mount->source), source);
}

void DriveTypeTest::classifiesMounts_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<DriveType>("expected");
    QTest::newRow("ext4 root") << "/home/u" << DriveType::Fixed;
    QTest::newRow("tmpfs") << "/dev/shm/x" << DriveType::RamDisk;
    QTest::newRow("ramfs") << "/ram" << DriveType::RamDisk;
    QTest::newRow("nfs4") << "/mnt/nas/b" << DriveType::Remote;
    QTest::newRow("cifs") << "/mnt/share" << DriveType::Remote;
    QTest::newRow("sshfs") << "/home/u/remote/x" << DriveType::Remote;
    QTest::newRow("iso9660") << "/mnt/cdrom" << DriveType::CdRom;
    QTest::newRow("udf") << "/mnt/dvd/video" << DriveType::CdRom;
    QTest::newRow("under /run/media") << "/run/media/u/USB STICK" << DriveType::Removable;
    QTest::newRow("under /media") << "/media/backup/x" << DriveType::Removable;
    QTest::newRow("removable block device") << "/mnt/data" << DriveType::Removable;
    QTest::newRow("fixed block device") << "/mnt/data2" << DriveType::Fixed;
    QTest::newRow("xfs") << "/mnt/with\\backslash\ttab" << DriveType::Fixed;
}

void DriveTypeTest::classifiesMounts() {
    QFETCH(QString, path);
    QFETCH(DriveType, expected);
    const MountTable table = MountTable::parse(sampleMountInfo);
    const MountEntry* mount = table.mountOf(path.toStdString());
    QVERIFY(mount);
    QCOMPARE(MountTable::classify(*mount, removableSdb), expected);
}

void DriveTypeTest::readsRemovableFlagFromSysfs() {
    // The layout of sysfs: /sys/dev/block/MAJ:MIN links to the device's folder; a partition's
    // folder sits in its disk's folder and has no flag of its own.
    TestProgramDir dir;
    const std::filesystem::path sys = dir.fsPath();
    writeText(sys / "devices/usb/block/sdb/removable", "1\n");
    writeText(sys / "devices/usb/block/sdb/sdb1/partition", "1\n");
    writeText(sys / "devices/pci/block/sda/removable", "0\n");
    writeText(sys / "devices/pci/block/sda/sda1/partition", "1\n");
    writeText(sys / "devices/virtual/block/loop0/removable", "0\n");
    std::filesystem::create_directories(sys / "dev/block");
    std::filesystem::create_directory_symlink("../../devices/usb/block/sdb", sys / "dev/block/8:16");
    std::filesystem::create_directory_symlink("../../devices/usb/block/sdb/sdb1", sys / "dev/block/8:17");
    std::filesystem::create_directory_symlink("../../devices/pci/block/sda", sys / "dev/block/8:0");
    std::filesystem::create_directory_symlink("../../devices/pci/block/sda/sda1", sys / "dev/block/8:1");
    std::filesystem::create_directory_symlink("../../devices/virtual/block/loop0", sys / "dev/block/7:0");

    QVERIFY(MountTable::isRemovableBlockDevice(8, 16, sys));
    QVERIFY(MountTable::isRemovableBlockDevice(8, 17, sys));
    QVERIFY(!MountTable::isRemovableBlockDevice(8, 0, sys));
    QVERIFY(!MountTable::isRemovableBlockDevice(8, 1, sys));
    QVERIFY(!MountTable::isRemovableBlockDevice(7, 0, sys));
    QVERIFY(!MountTable::isRemovableBlockDevice(9, 9, sys)); // unknown device
}

void DriveTypeTest::judgesRealPaths() {
    const MountTable mounts = MountTable::current();
    QVERIFY(!mounts.entries().empty());
    TestProgramDir dir;
    const std::filesystem::path folder = std::filesystem::canonical(dir.fsPath());
    const MountEntry* mount = mounts.mountOf(folder);
    QVERIFY(mount);
    const DriveType expected = MountTable::classify(*mount, [](unsigned major, unsigned minor) {
        return MountTable::isRemovableBlockDevice(major, minor);
    });
    QCOMPARE(platform::driveTypeOf(folder), expected);
    QCOMPARE(platform::driveTypeOf("/proc/self"), DriveType::Fixed); // proc: no block device
    for (const MountEntry& entry : mounts.entries()) {
        if (entry.mountPoint == "/dev/shm" && entry.fsType == "tmpfs")
            QCOMPARE(platform::driveTypeOf("/dev/shm"), DriveType::RamDisk);
    }
}

void DriveTypeTest::missingPathsWalkUp() {
    TestProgramDir dir;
    const DriveType folderType = platform::driveTypeOf(dir.fsPath());
    QCOMPARE(platform::driveTypeOf(dir.fsPath() / "not" / "yet" / "made"), folderType);
    QCOMPARE(platform::driveTypeOf(""), DriveType::NoRootDir);
    QVERIFY(platform::driveTypeOf("relative/missing/folder") != DriveType::NoRootDir);
    // A symbolic link is judged by where it leads.
    std::filesystem::create_directory_symlink("/dev/shm", dir.fsPath() / "to-shm");
    QCOMPARE(platform::driveTypeOf(dir.fsPath() / "to-shm" / "x"), platform::driveTypeOf("/dev/shm"));
}

QTEST_GUILESS_MAIN(DriveTypeTest)
#include "tst_drivetype.moc"
