#include "platform/folderreader.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using platform::FileKind;
using platform::FileStatus;
using platform::FolderError;
using platform::FolderReader;

namespace {
std::map<std::string, FileKind> listingOf(FolderReader& folder) {
    std::map<std::string, FileKind> names;
    platform::FolderEntry entry;
    FolderError error = FolderError::None;
    while (folder.nextEntry(entry, error))
        names.emplace(entry.name, entry.kind);
    if (error != FolderError::None)
        names.emplace("<listing broke off>", FileKind::Unknown);
    return names;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}
} // namespace

// The folder access the walk is built on, on a real temporary tree.
class FolderReaderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        m_root = m_dir.path().toStdString();
        std::filesystem::create_directory(m_root + "/sub");
        std::ofstream(m_root + "/file", std::ios::binary) << "12345";
        std::ofstream(m_root + "/\xff\xfe name", std::ios::binary) << "x"; // not UTF-8
        std::filesystem::create_symlink("file", m_root + "/link");
        std::filesystem::create_symlink("nowhere", m_root + "/dangling");
        std::filesystem::create_directory_symlink("sub", m_root + "/sublink");
        QCOMPARE(::mkfifo((m_root + "/pipe").c_str(), 0600), 0);
    }
    void cleanup() {
        for (const auto& entry : std::filesystem::directory_iterator(m_root))
            std::filesystem::remove_all(entry.path());
    }

    void listingGivesEveryNameAsBytesWithATypeHint() {
        FolderError error = FolderError::Failed;
        FolderReader folder = FolderReader::open(m_root, error);
        QVERIFY(folder.isOpen());
        QCOMPARE(error, FolderError::None);
        const auto names = listingOf(folder);
        const std::map<std::string, FileKind> expected{
            {"sub", FileKind::Folder}, {"file", FileKind::File},     {"\xff\xfe name", FileKind::File},
            {"link", FileKind::Link},  {"dangling", FileKind::Link}, {"sublink", FileKind::Link},
            {"pipe", FileKind::Other}};
        QCOMPARE(names.size(), expected.size()); // "." and ".." are left out
        for (const auto& [name, kind] : names) {
            QVERIFY2(expected.contains(name), name.c_str());
            // A listing may not know the type; when it tells one, it is the right one.
            QVERIFY2(kind == FileKind::Unknown || kind == expected.at(name), name.c_str());
        }
    }

    void childStatusTellsKindIdentityAndFullTime() {
        const timespec times[2] = {{1234567890, 0}, {1234567890, 123456789}};
        QCOMPARE(::utimensat(AT_FDCWD, (m_root + "/file").c_str(), times, 0), 0);
        FolderError error = FolderError::None;
        FolderReader folder = FolderReader::open(m_root, error);
        FileStatus status;
        QVERIFY(folder.childStatus("file", false, status, error));
        const struct stat st = statOf(m_root + "/file");
        QCOMPARE(status.kind, FileKind::File);
        QCOMPARE(status.identity.size, 5u);
        QCOMPARE(status.identity.mtimeNs, 1234567890123456789LL);
        QCOMPARE(status.identity.device, std::uint64_t(st.st_dev));
        QCOMPARE(status.identity.inode, std::uint64_t(st.st_ino));

        QVERIFY(folder.childStatus("link", false, status, error));
        QCOMPARE(status.kind, FileKind::Link);
        QVERIFY(folder.childStatus("link", true, status, error));
        QCOMPARE(status.kind, FileKind::File);
        QCOMPARE(status.identity.inode, std::uint64_t(st.st_ino));
        QVERIFY(folder.childStatus("pipe", false, status, error));
        QCOMPARE(status.kind, FileKind::Other);

        // What is not there any more is Gone, not a failure of the folder.
        QVERIFY(!folder.childStatus("dangling", true, status, error));
        QCOMPARE(error, FolderError::Gone);
        error = FolderError::None;
        QVERIFY(!folder.childStatus("missing", false, status, error));
        QCOMPARE(error, FolderError::Gone);
    }

    void childFoldersOpenRelativeToTheirParent() {
        FolderError error = FolderError::None;
        FolderReader parent = FolderReader::open(m_root, error);
        FolderReader child = parent.openChild("sub", error);
        QVERIFY(child.isOpen());
        FileStatus status;
        QVERIFY(child.status(status));
        QCOMPARE(status.kind, FileKind::Folder);
        QCOMPARE(status.identity.inode, std::uint64_t(statOf(m_root + "/sub").st_ino));

        // The parent may go while the child is in use: a moved handle keeps the folder open.
        FolderReader moved = std::move(child);
        parent.close();
        QVERIFY(moved.isOpen());
        QVERIFY(!child.isOpen());
        std::ofstream(m_root + "/sub/inner", std::ios::binary) << "y";
        QCOMPARE(listingOf(moved).size(), 1u);

        parent = FolderReader::open(m_root, error);
        for (const char* notAFolder : {"file", "missing", "dangling"}) {
            error = FolderError::None;
            QVERIFY2(!parent.openChild(notAFolder, error).isOpen(), notAFolder);
            QCOMPARE(error, FolderError::Gone);
        }
        QVERIFY(!FolderReader::open(m_root + "/missing", error).isOpen());
        QCOMPARE(error, FolderError::Gone);
    }

    void pathsResolveThroughLinks() {
        const std::string real = FolderReader::realPath(m_root + "/sub");
        QVERIFY(!real.empty());
        QCOMPARE(real.front(), '/');
        QCOMPARE(FolderReader::realPath(m_root + "/sublink"), real);
        QCOMPARE(FolderReader::realPath(m_root + "/sublink/../sub/."), real);
        QVERIFY(FolderReader::realPath(m_root + "/dangling").empty());

        FileStatus status;
        QVERIFY(FolderReader::pathStatus(m_root + "/sublink", status));
        QCOMPARE(status.kind, FileKind::Folder);
        QVERIFY(!FolderReader::pathStatus(m_root + "/dangling", status));
    }

    void anOrdinaryFolderIsNeitherSystemNorCaseBlind() {
        FolderError error = FolderError::None;
        const FolderReader folder = FolderReader::open(m_root, error);
        QVERIFY(!folder.onSystemFileSystem());
        QVERIFY(!folder.foldsCase());
        if (!std::filesystem::exists("/proc/self"))
            QSKIP("no /proc here");
        QVERIFY(FolderReader::open("/proc/self", error).onSystemFileSystem());
    }

private:
    QTemporaryDir m_dir;
    std::string m_root;
};

QTEST_GUILESS_MAIN(FolderReaderTest)
#include "tst_folderreader.moc"
