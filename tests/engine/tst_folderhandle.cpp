// Files made below a folder stay below it whatever links are planted, and a file being made takes
// its real name only when it is whole.
#include "engineplatform.h"
#include "folderhandle.h"
#include "temporaryfile.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> sortedNames(const FolderHandle& folder) {
    std::vector<std::string> names = folder.names();
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class FolderHandleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void walkRefusesLinksUnlessFollowing();
    void openFolderKeepsItsPlaceWhenThePathIsReplaced();
    void filesAreNeverMadeThroughALink();
    void statusTellsALinkFromWhatItNames();
    void creationMaskIsReadWithoutChangingIt();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_root;
};

void FolderHandleTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = m_dir->path().toStdString();
    fs::create_directories(m_root / "dest");
    fs::create_directories(m_root / "outside");
}

void FolderHandleTest::walkRefusesLinksUnlessFollowing() {
    fs::create_directory_symlink(m_root / "outside", m_root / "dest" / "link");
    const FolderHandle dest = FolderHandle::open((m_root / "dest").string());
    QVERIFY(dest.ok());

    errno = 0;
    QVERIFY(!dest.walk("link/below", false).ok());
    QVERIFY(errno == ELOOP || errno == ENOTDIR);
    QVERIFY(fs::is_empty(m_root / "outside"));

    // Empty parts and "." are skipped; every missing part is made.
    const FolderHandle made = dest.walk("a//./b/c/", false);
    QVERIFY(made.ok());
    QVERIFY(fs::is_directory(m_root / "dest" / "a" / "b" / "c"));
    QVERIFY(dest.walk("", false).ok());

    // The user's own links are entered where that is asked for.
    const FolderHandle followed = dest.walk("link/below", true);
    QVERIFY(followed.ok());
    QVERIFY(fs::is_directory(m_root / "outside" / "below"));
    QVERIFY(!fs::is_symlink(m_root / "dest" / "link" / "below"));
}

void FolderHandleTest::openFolderKeepsItsPlaceWhenThePathIsReplaced() {
    const FolderHandle dest = FolderHandle::open((m_root / "dest").string());
    const FolderHandle sub = dest.walk("sub", false);
    QVERIFY(sub.ok());
    // Someone moves the folder away and plants a link to another place under its name.
    fs::rename(m_root / "dest" / "sub", m_root / "dest" / "moved");
    fs::create_directory_symlink(m_root / "outside", m_root / "dest" / "sub");

    const int fd = sub.createFile("file.txt", FolderHandle::Create::Exclusive, 0600);
    QVERIFY(fd >= 0);
    QVERIFY(engineplatform::writeAll(fd, "inside", 6));
    QCOMPARE(engineplatform::closeFile(fd), 0);
    QVERIFY(sub.move("file.txt", "renamed.txt", false));
    QVERIFY(fs::is_empty(m_root / "outside"));
    QCOMPARE(readAll(m_root / "dest" / "moved" / "renamed.txt"), std::string("inside"));
    // A walk from the top finds the link and refuses it.
    QVERIFY(!dest.walk("sub", false).ok());
}

void FolderHandleTest::filesAreNeverMadeThroughALink() {
    writeFile(m_root / "outside" / "victim.txt", "keep");
    fs::create_symlink(m_root / "outside" / "victim.txt", m_root / "dest" / "victim");
    fs::create_symlink(m_root / "outside" / "absent.txt", m_root / "dest" / "dangling");
    writeFile(m_root / "dest" / "old.txt", "old contents");
    const FolderHandle dest = FolderHandle::open((m_root / "dest").string());

    for (const FolderHandle::Create how : {FolderHandle::Create::Truncate, FolderHandle::Create::Exclusive}) {
        QCOMPARE(dest.createFile("victim", how, 0600), -1);
        QCOMPARE(dest.createFile("dangling", how, 0600), -1);
    }
    QCOMPARE(readAll(m_root / "outside" / "victim.txt"), std::string("keep"));
    QVERIFY(!fs::exists(m_root / "outside" / "absent.txt"));

    errno = 0;
    QCOMPARE(dest.createFile("old.txt", FolderHandle::Create::Exclusive, 0600), -1);
    QCOMPARE(errno, EEXIST);
    const int fd = dest.createFile("old.txt", FolderHandle::Create::Truncate, 0600);
    QVERIFY(fd >= 0);
    QVERIFY(engineplatform::writeAll(fd, "new", 3));
    engineplatform::closeFile(fd);
    QCOMPARE(readAll(m_root / "dest" / "old.txt"), std::string("new"));
}

void FolderHandleTest::statusTellsALinkFromWhatItNames() {
    fs::create_directory(m_root / "dest" / "folder");
    fs::create_directory_symlink(m_root / "dest" / "folder", m_root / "dest" / "link");
    const FolderHandle dest = FolderHandle::open((m_root / "dest").string());
    const int fd = dest.createFile("file", FolderHandle::Create::Exclusive, 0600);
    QVERIFY(engineplatform::writeAll(fd, "12345", 5));
    const timespec when{1700000000, 123456789};
    engineplatform::setFileTimes(fd, when, false);
    engineplatform::closeFile(fd);

    FolderHandle::Status status;
    QVERIFY(dest.status("file", status));
    QCOMPARE(status.kind, FolderHandle::Kind::File);
    QCOMPARE(status.size, 5u);
    QCOMPARE(status.mtimeNs, std::int64_t{1700000000123456789});
    QVERIFY(dest.status("link", status));
    QCOMPARE(status.kind, FolderHandle::Kind::Link);
    QVERIFY(dest.status("folder", status));
    QCOMPARE(status.kind, FolderHandle::Kind::Folder);
    errno = 0;
    QVERIFY(!dest.status("missing", status));
    QCOMPARE(errno, ENOENT);
    QCOMPARE(sortedNames(dest), (std::vector<std::string>{"file", "folder", "link"}));

    // A folder's own time; a mode of 0 keeps its permissions.
    const FolderHandle folder = dest.walk("folder", false);
    fs::permissions(m_root / "dest" / "folder", fs::perms(0750));
    folder.setModeAndTime(0, when);
    QCOMPARE(static_cast<int>(fs::status(m_root / "dest" / "folder").permissions()), 0750);
    QVERIFY(dest.status("folder", status));
    QCOMPARE(status.mtimeNs, std::int64_t{1700000000123456789});
    folder.setModeAndTime(0700, when);
    QCOMPARE(static_cast<int>(fs::status(m_root / "dest" / "folder").permissions()), 0700);
}

void FolderHandleTest::creationMaskIsReadWithoutChangingIt() {
    const mode_t before = ::umask(027);
    QCOMPARE(engineplatform::fileCreationMask(), 027u);
    QCOMPARE(::umask(before), mode_t(027));
}

class TemporaryFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void replaceKeepsTheOldFileUntilTheNewIsWhole_data();
    void replaceKeepsTheOldFileUntilTheNewIsWhole();
    void aNewNameIsTakenOnlyWhenFree_data();
    void aNewNameIsTakenOnlyWhenFree();
    void discardLeavesNothing_data();
    void discardLeavesNothing();

private:
    void unnamedOrNamed();

    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_root;
};

void TemporaryFileTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = m_dir->path().toStdString();
}

void TemporaryFileTest::unnamedOrNamed() {
    QTest::addColumn<bool>("unnamedAllowed");
    QTest::newRow("unnamed where possible") << true;
    QTest::newRow("hidden name") << false;
}

void TemporaryFileTest::replaceKeepsTheOldFileUntilTheNewIsWhole_data() {
    unnamedOrNamed();
}

void TemporaryFileTest::replaceKeepsTheOldFileUntilTheNewIsWhole() {
    QFETCH(bool, unnamedAllowed);
    writeFile(m_root / "doc", "old");
    const FolderHandle folder = FolderHandle::open(m_root.string());
    TemporaryFile file;
    QVERIFY(file.create(folder, ".doc.part-", ".tmp", 0600, unnamedAllowed));
    QVERIFY(engineplatform::writeAll(file.fd(), "new con", 7));
    QCOMPARE(readAll(m_root / "doc"), std::string("old"));
    if (!unnamedAllowed) {
        QCOMPARE(file.temporaryName().size(), std::string(".doc.part-").size() + 6 + 4);
        QVERIFY(file.temporaryName().rfind(".doc.part-", 0) == 0);
        QCOMPARE(sortedNames(folder), (std::vector<std::string>{file.temporaryName(), "doc"}));
    }
    QVERIFY(engineplatform::writeAll(file.fd(), "tents", 5));

    errno = 0;
    QVERIFY(!file.place("doc", false));
    QCOMPARE(errno, EEXIST);
    QCOMPARE(readAll(m_root / "doc"), std::string("old"));
    QVERIFY(file.ok());

    QVERIFY(file.place("doc", true));
    QVERIFY(!file.ok());
    QCOMPARE(readAll(m_root / "doc"), std::string("new contents"));
    QCOMPARE(sortedNames(folder), std::vector<std::string>{"doc"});
}

void TemporaryFileTest::aNewNameIsTakenOnlyWhenFree_data() {
    unnamedOrNamed();
}

void TemporaryFileTest::aNewNameIsTakenOnlyWhenFree() {
    QFETCH(bool, unnamedAllowed);
    const FolderHandle folder = FolderHandle::open(m_root.string());
    TemporaryFile first;
    TemporaryFile second;
    QVERIFY(first.create(folder, ".p-", "", 0600, unnamedAllowed));
    QVERIFY(second.create(folder, ".p-", "", 0600, unnamedAllowed));
    QVERIFY(engineplatform::writeAll(first.fd(), "first", 5));
    QVERIFY(engineplatform::writeAll(second.fd(), "second", 6));
    QVERIFY(first.place("name", false));
    QVERIFY(!second.place("name", false));
    second.discard();
    QCOMPARE(readAll(m_root / "name"), std::string("first"));
    QCOMPARE(sortedNames(folder), std::vector<std::string>{"name"});
}

void TemporaryFileTest::discardLeavesNothing_data() {
    unnamedOrNamed();
}

void TemporaryFileTest::discardLeavesNothing() {
    QFETCH(bool, unnamedAllowed);
    const FolderHandle folder = FolderHandle::open(m_root.string());
    {
        TemporaryFile dropped;
        QVERIFY(dropped.create(folder, ".p-", "", 0600, unnamedAllowed));
        QVERIFY(engineplatform::writeAll(dropped.fd(), "data", 4));
        QVERIFY(dropped.nameTemporarily());
        QVERIFY(!dropped.temporaryName().empty());
        QCOMPARE(sortedNames(folder), std::vector<std::string>{dropped.temporaryName()});
    }
    QVERIFY(folder.names().empty());
}

int main(int argc, char** argv) {
    int failures = 0;
    FolderHandleTest folders;
    failures += QTest::qExec(&folders, argc, argv);
    TemporaryFileTest temporaries;
    failures += QTest::qExec(&temporaries, argc, argv);
    return failures;
}

#include "tst_folderhandle.moc"
