// The previous archive as an update reads it: its directory held from the file, its entries
// found by name, and the files of a list looked at folder by folder.
#include "archiveoutput.h"
#include "archivereader.h"
#include "centraldirectory.h"
#include "directorybytes.h"
#include "engineplatform.h"
#include "entryname.h"
#include "entryrecord.h"
#include "listedfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t Time = 1600000000000000000;

// An archive of stored entries named `names`, each holding its own name; the n-th entry's
// time is Time + n seconds.
bool writeArchive(const std::string& path, const std::vector<std::string>& names) {
    ArchiveOutput out;
    CentralDirectory directory(engineplatform::folderOf(path));
    if (!out.create(path))
        return false;
    for (std::size_t n = 0; n < names.size(); ++n) {
        EntryRecord record =
            EntryRecord::forFile(names[n], Time + static_cast<std::int64_t>(n) * 1000000000, 0100644, Time);
        record.compressedSize = record.uncompressedSize = names[n].size();
        record.localOffset = out.position();
        if (!out.write(record.localHeader()) || !out.write(names[n]) ||
            !directory.add(record.centralHeader()))
            return false;
    }
    return directory.writeTo(out, std::string()) && out.commit();
}

} // namespace

class ArchiveReaderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyEntryReadsTheSameAfterItsPagesAreGivenBack();
    void findTakesAHintButNeverTrustsIt();
    void namesOfOneHashAreToldApart();
    void plainAndUnusualPathsNameTheSameEntries();
    void listedFilesLookedUpFolderByFolder();
};

void ArchiveReaderTest::everyEntryReadsTheSameAfterItsPagesAreGivenBack() {
    // More entries than looks between two releases, so that every entry is read again after
    // its pages were given back, twice over.
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    std::vector<std::string> names;
    for (std::uint32_t n = 0; n < DirectoryBytes::LooksPerRelease + 1000; ++n)
        names.push_back("folder " + std::to_string(n % 7) + "/file " + std::to_string(n) + ".txt");
    QVERIFY(writeArchive(path, names));
    ArchiveReader reader;
    QVERIFY2(reader.open(path), reader.errorText().c_str());
    QCOMPARE(reader.count(), names.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t n = 0; n < names.size(); ++n) {
            const ArchiveReader::Entry entry = reader.entry(n);
            QCOMPARE(std::string(entry.name), names[n]);
            QCOMPARE(entry.uncompressedSize, names[n].size());
            QCOMPARE(entry.mtime.tv_sec,
                     static_cast<std::time_t>(Time / 1000000000 + static_cast<std::int64_t>(n)));
        }
    }
    // Views taken before a release still show the entry's bytes after it.
    const ArchiveReader::Entry first = reader.entry(0);
    for (std::uint32_t n = 0; n < DirectoryBytes::LooksPerRelease; ++n)
        reader.entry(n % names.size());
    QCOMPARE(std::string(first.name), names[0]);
    std::uint64_t dataOffset = 0;
    std::string localExtra;
    QVERIFY(reader.locateData(reader.entry(names.size() - 1), dataOffset, localExtra));
    std::string data(names.back().size(), '\0');
    QVERIFY(engineplatform::readAllAt(reader.fd(), data.data(), data.size(), dataOffset));
    QCOMPARE(data, names.back());
}

void ArchiveReaderTest::findTakesAHintButNeverTrustsIt() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    // "b.txt" twice: the later one is newer and the current one.
    QVERIFY(writeArchive(path, {"a.txt", "b.txt", "c.txt", "b.txt", "d.txt"}));
    ArchiveReader reader;
    QVERIFY(reader.open(path));
    QVERIFY(reader.superseded(1));
    for (std::size_t likely : {0u, 1u, 2u, 3u, 4u, 5u, 1000u}) {
        QCOMPARE(reader.find("a.txt", likely), 0);
        QCOMPARE(reader.find("b.txt", likely), 3); // never the superseded one, even when hinted
        QCOMPARE(reader.find("c.txt", likely), 2);
        QCOMPARE(reader.find("d.txt", likely), 4);
        QCOMPARE(reader.find("e.txt", likely), -1);
        QCOMPARE(reader.find("d.tx", likely), -1);
    }
    // Read by index only, as a check of every entry reads it: every entry is there, none found
    // by name.
    ArchiveReader byIndex;
    QVERIFY(byIndex.openFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC), false));
    QCOMPARE(byIndex.count(), std::size_t{5});
    QCOMPARE(std::string(byIndex.entry(3).name), std::string("b.txt"));
    QVERIFY(!byIndex.superseded(1));
    QCOMPARE(byIndex.find("a.txt"), -1);
}

void ArchiveReaderTest::namesOfOneHashAreToldApart() {
    // These two names share the index's 32-bit hash.
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Quoralis.zip")).toStdString();
    QVERIFY(writeArchive(path, {"d/f24087.txt", "d/f77682.txt"}));
    ArchiveReader reader;
    QVERIFY(reader.open(path));
    QVERIFY(!reader.anySuperseded());
    QCOMPARE(reader.find("d/f24087.txt"), 0);
    QCOMPARE(reader.find("d/f77682.txt"), 1);
    QCOMPARE(reader.find("d/f77682.txt", 0), 1);
}

void ArchiveReaderTest::plainAndUnusualPathsNameTheSameEntries() {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/a/b/c.txt", "a/b/c.txt"},         {"/a//b/c.txt", "a/b/c.txt"},    {"/a/./b/c.txt", "a/b/c.txt"},
        {"/a/x/../b/c.txt", "a/b/c.txt"},    {"/a/b/c.txt/.", "a/b/c.txt"},   {"/a/b/c.txt/", "a/b/c.txt"},
        {"/.hidden/c.txt", ".hidden/c.txt"}, {"/a/..b/c.txt", "a/..b/c.txt"}, {"/c.txt", "c.txt"},
    };
    for (const auto& [path, name] : cases) {
        QCOMPARE(entryname::forPath(path.c_str(), true), name);
        QCOMPARE(entryname::forPath(path.c_str(), false), name.substr(name.rfind('/') + 1));
    }
}

void ArchiveReaderTest::listedFilesLookedUpFolderByFolder() {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("one")) && QDir(dir.path()).mkpath(QStringLiteral("two")));
    const auto write = [&](const std::string& relative, const QByteArray& content) {
        QFile file(QString::fromStdString(root + "/" + relative));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };
    QVERIFY(write("one/a", "1") && write("one/b", "22") && write("two/a", "333"));
    QVERIFY(::symlink("../one/b", (root + "/two/link").c_str()) == 0);
    // Back and forth between the folders, as a list of two overlapping folders may go.
    const std::vector<std::string> files = {"one/a", "one/b", "two/a", "one/a", "two/link", "two/a"};
    ListedFiles listed;
    for (const std::string& relative : files) {
        const std::string path = root + "/" + relative;
        engineplatform::FileStatus byPath;
        engineplatform::FileStatus byFolder;
        QCOMPARE(listed.status(path.c_str(), byFolder), 0);
        QCOMPARE(engineplatform::fileStatus(path.c_str(), byPath), 0);
        QVERIFY(byFolder.sameFile(byPath));
        QCOMPARE(byFolder.size, byPath.size);
        QCOMPARE(byFolder.mode, byPath.mode);
        // Opened the same way: the file itself, through a link too.
        const int fd = listed.open(path.c_str());
        QVERIFY(fd >= 0);
        engineplatform::FileStatus opened;
        QCOMPARE(engineplatform::openFileStatus(fd, opened), 0);
        ::close(fd);
        QVERIFY(opened.sameFile(byPath));
    }
    QCOMPARE(listed.open((root + "/two/missing").c_str()), -1);
    QCOMPARE(errno, ENOENT);
    engineplatform::FileStatus st;
    errno = 0;
    QCOMPARE(listed.status((root + "/two/missing").c_str(), st), -1);
    QCOMPARE(errno, ENOENT);
    QCOMPARE(listed.status((root + "/three/a").c_str(), st), -1);
    QCOMPARE(errno, ENOENT);
    // A folder renamed while the list goes on: its old path no longer leads to the files.
    QVERIFY(::rename((root + "/one").c_str(), (root + "/gone").c_str()) == 0);
    QCOMPARE(listed.status((root + "/one/a").c_str(), st), -1);
    QCOMPARE(listed.status((root + "/gone/a").c_str(), st), 0);
    QCOMPARE(st.size, std::uint64_t{1});
}

QTEST_GUILESS_MAIN(ArchiveReaderTest)

#include "tst_archivereader.moc"
