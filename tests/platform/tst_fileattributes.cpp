#include "platform/fileattributes.h"
#include "testprogramdir.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <fstream>
#include <utime.h>

using platform::FileAttributes;

namespace {

const platform::ArchiveMark thisArchive{"00000000000000aa", 7};

// What a directory walk sees: which file it is, its size, modification and change time, from lstat.
platform::FileIdentity stateOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::uint64_t(info.st_size),
            std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            std::int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

bool changed(const std::filesystem::path& path, const platform::ArchiveMark& mark = thisArchive) {
    return FileAttributes::archiveAttributeSet(path, stateOf(path), mark);
}

// As an archiver that began reading a moment after the file was last touched.
bool markArchived(const std::filesystem::path& path, const platform::ArchiveMark& mark = thisArchive) {
    const platform::FileIdentity state = stateOf(path);
    return FileAttributes::clearArchiveAttribute(path, state.size, state.mtimeNs, state.ctimeNs + 1000000000,
                                                 mark);
}

// A change within a fraction of a millisecond after a mark was written is not told from the
// write of the mark itself; the changes of these tests come later.
void waitPastTheMarksWrite() {
    QThread::msleep(5);
}

int run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit ? process.exitCode()
                                                                                     : -1;
}

void setMtime(const std::filesystem::path& path, time_t seconds) {
    const struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    QVERIFY(::utimes(path.c_str(), times) == 0);
}

} // namespace

class FileAttributesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void hiddenIsLeadingDot_data();
    void hiddenIsLeadingDot();
    void nothingIsSystem();
    void newFileIsChanged();
    void archivedFileIsUnchangedUntilItChanges_data();
    void archivedFileIsUnchangedUntilItChanges();
    void fileChangedWhileArchivingStaysChanged();
    void recordIsPerFileAndPerName();
    void anotherFileWithTheSameStateIsChanged_data();
    void anotherFileWithTheSameStateIsChanged();
    void withoutExtendedAttributesEverythingIsChanged();
    void missingFileCannotBeMarked();
    void symbolicLinkAlwaysChanged();
    void marksArePerArchiveAndEpoch();
    void otherArchivesMarksAreNoChange();
    void fileTouchedWhileBeingReadStaysChanged();
    void wallClockTimesConvert();

private:
    bool m_xattrs = true;
};

void FileAttributesTest::initTestCase() {
    TestProgramDir dir;
    const QString probe = dir.writeFile(QStringLiteral("probe"), "x");
    m_xattrs = ::setxattr(QFile::encodeName(probe).constData(), "user.probe", "1", 1, 0) == 0;
}

void FileAttributesTest::hiddenIsLeadingDot_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("dot file") << QStringLiteral("/home/u/.bashrc") << true;
    QTest::newRow("dot folder") << QStringLiteral("/home/u/.config") << true;
    QTest::newRow("dot folder with slash") << QStringLiteral("/home/u/.cache/") << true;
    QTest::newRow("plain") << QStringLiteral("/home/u/notes.txt") << false;
    QTest::newRow("dot inside") << QStringLiteral("/home/u/a.b") << false;
    QTest::newRow("hidden parent only") << QStringLiteral("/home/u/.config/app.ini") << false;
    QTest::newRow("dot") << QStringLiteral("/home/u/.") << false;
    QTest::newRow("dot dot") << QStringLiteral("/home/u/..") << false;
}

void FileAttributesTest::hiddenIsLeadingDot() {
    QFETCH(QString, path);
    QFETCH(bool, hidden);
    QCOMPARE(FileAttributes::isHidden(path.toStdString()), hidden);
}

void FileAttributesTest::nothingIsSystem() {
    TestProgramDir dir;
    QVERIFY(!FileAttributes::isSystem(dir.writeFile(QStringLiteral(".hidden"), "x").toStdString()));
    QVERIFY(!FileAttributes::isSystem("/proc/self/status"));
}

void FileAttributesTest::newFileIsChanged() {
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("new.txt"), "data").toStdString();
    QVERIFY(changed(file));
    QVERIFY(changed(file)); // asking does not clear it
}

void FileAttributesTest::archivedFileIsUnchangedUntilItChanges_data() {
    QTest::addColumn<QByteArray>("newContent"); // empty: keep the content
    QTest::addColumn<bool>("touch");
    QTest::addColumn<bool>("expectChanged");
    QTest::newRow("untouched") << QByteArray() << false << false;
    QTest::newRow("content grew") << QByteArray("more data") << false << true;
    QTest::newRow("same size, old time put back") << QByteArray("DATA") << false << true;
    QTest::newRow("same size, new time") << QByteArray("DATA") << true << true;
    QTest::newRow("only time") << QByteArray() << true << true;
}

void FileAttributesTest::archivedFileIsUnchangedUntilItChanges() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    QFETCH(QByteArray, newContent);
    QFETCH(bool, touch);
    QFETCH(bool, expectChanged);
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("doc.txt"), "data").toStdString();
    setMtime(file, 1000000000);
    QVERIFY(markArchived(file));
    QVERIFY(!changed(file));

    waitPastTheMarksWrite();
    if (!newContent.isEmpty()) {
        dir.writeFile(QStringLiteral("doc.txt"), newContent);
        setMtime(file, 1000000000); // a rewrite that keeps the old time
    }
    if (touch)
        setMtime(file, 1000000060);
    QCOMPARE(changed(file), expectChanged);
}

void FileAttributesTest::fileChangedWhileArchivingStaysChanged() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("log.txt"), "first").toStdString();
    setMtime(file, 1000000000);
    const platform::FileIdentity seenByWalk = stateOf(file);
    dir.writeFile(QStringLiteral("log.txt"), "first and second"); // written to while being archived
    QVERIFY(!FileAttributes::clearArchiveAttribute(file, seenByWalk.size, seenByWalk.mtimeNs,
                                                   seenByWalk.ctimeNs + 1000000000, thisArchive));
    QVERIFY(changed(file));
    // The next backup archives it again and then it is clear.
    QVERIFY(markArchived(file));
    QVERIFY(!changed(file));
}

void FileAttributesTest::recordIsPerFileAndPerName() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    TestProgramDir dir;
    const std::filesystem::path a = dir.writeFile(QStringLiteral("a.txt"), "same").toStdString();
    const std::filesystem::path b = dir.writeFile(QStringLiteral("b.txt"), "same").toStdString();
    setMtime(a, 1000000000);
    setMtime(b, 1000000000);
    QVERIFY(markArchived(a));
    QVERIFY(!changed(a));
    QVERIFY(changed(b));
    const std::filesystem::path moved = dir.fsPath() / "moved.txt";
    std::filesystem::rename(a, moved);
    // Its entry under the new name is still to be made.
    QVERIFY(changed(moved));
    std::filesystem::rename(moved, a);
    QVERIFY(!changed(a));
    // A folder renamed renames every file in it.
    const std::filesystem::path folder = dir.fsPath() / "folder";
    std::filesystem::create_directory(folder);
    std::filesystem::rename(a, folder / "a.txt");
    QVERIFY(markArchived(folder / "a.txt"));
    std::filesystem::rename(folder, dir.fsPath() / "renamed");
    QVERIFY(changed(dir.fsPath() / "renamed" / "a.txt"));
}

// The record travels with copies (cp -a) and survives rewrites that keep size and time; it
// must not make such a file look archived.
void FileAttributesTest::anotherFileWithTheSameStateIsChanged_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("cp -a copy") << QStringLiteral("copy");
    QTest::newRow("copy moved over the original") << QStringLiteral("replace");
}

void FileAttributesTest::anotherFileWithTheSameStateIsChanged() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    QFETCH(QString, how);
    TestProgramDir dir;
    const std::filesystem::path original = dir.writeFile(QStringLiteral("mail.box"), "letters").toStdString();
    QVERIFY(markArchived(original));
    QVERIFY(!changed(original));
    const std::filesystem::path copy = dir.fsPath() / "copy.box";
    QCOMPARE(run(QStringLiteral("cp"), {QStringLiteral("-a"), QString::fromStdString(original.native()),
                                        QString::fromStdString(copy.native())}),
             0);
    QVERIFY(::getxattr(copy.c_str(), "user.quoralis.archived.00000000000000aa", nullptr, 0) >
            0); // came along
    QCOMPARE(stateOf(copy).size, stateOf(original).size);
    QCOMPARE(stateOf(copy).mtimeNs, stateOf(original).mtimeNs);
    if (how == QStringLiteral("copy")) {
        QVERIFY(changed(copy));
        QVERIFY(!changed(original));
    } else {
        std::filesystem::rename(copy, original);
        QVERIFY(changed(original));
    }
}

// ramfs keeps no extended attributes; mounting it needs root.
void FileAttributesTest::withoutExtendedAttributesEverythingIsChanged() {
    TestProgramDir dir;
    const std::filesystem::path mountPoint = dir.fsPath() / "ramfs";
    std::filesystem::create_directory(mountPoint);
    if (run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("ramfs"), QStringLiteral("none"),
                                      QString::fromStdString(mountPoint.native())}) != 0)
        QSKIP("cannot mount a file system without extended attributes here");
    const std::filesystem::path file = mountPoint / "doc.txt";
    std::ofstream(file) << "data";
    const bool stored = markArchived(file);
    const bool stillChanged = changed(file);
    std::filesystem::remove(file);
    QCOMPARE(run(QStringLiteral("umount"), {QString::fromStdString(mountPoint.native())}), 0);
    QVERIFY(!stored);
    QVERIFY(stillChanged);
}

void FileAttributesTest::missingFileCannotBeMarked() {
    TestProgramDir dir;
    const std::filesystem::path missing = dir.fsPath() / "gone.txt";
    QVERIFY(!FileAttributes::clearArchiveAttribute(missing, 4, 1000, FileAttributes::nowNs(), thisArchive));
    QVERIFY(FileAttributes::archiveAttributeSet(missing, {1, 2, 4, 1000, 1000}, thisArchive));
}

void FileAttributesTest::symbolicLinkAlwaysChanged() {
    TestProgramDir dir;
    dir.writeFile(QStringLiteral("target.txt"), "x");
    const std::filesystem::path link = dir.fsPath() / "link.txt";
    std::filesystem::create_symlink("target.txt", link);
    markArchived(link);
    QVERIFY(changed(link));
}

void FileAttributesTest::marksArePerArchiveAndEpoch() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("doc.txt"), "data").toStdString();
    QVERIFY(markArchived(file));
    QVERIFY(!changed(file));
    QCOMPARE(FileAttributes::archiveState(file, {"00000000000000bb", 7}),
             FileAttributes::ArchiveState::Unmarked);
    // The same archive in a new epoch (it was replaced by another copy): every mark is void.
    QCOMPARE(FileAttributes::archiveState(file, {thisArchive.series, 8}),
             FileAttributes::ArchiveState::Changed);
}

// Writing a mark changes the file's change time: the mark of another archive written after this
// one's is no change of the file, anything else in between is.
void FileAttributesTest::otherArchivesMarksAreNoChange() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    const platform::ArchiveMark other{"00000000000000bb", 3};
    const platform::ArchiveMark third{"00000000000000cc", 5};
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("doc.txt"), "data").toStdString();
    QVERIFY(markArchived(file));
    QVERIFY(markArchived(file, other));
    QVERIFY(markArchived(file, third));
    QVERIFY(!changed(file));
    QVERIFY(!changed(file, other));

    waitPastTheMarksWrite();
    QVERIFY(::chmod(file.c_str(), 0600) == 0); // a change that keeps size and time
    QVERIFY(markArchived(file, other));        // only the other archive took it since
    QVERIFY(changed(file));
    QVERIFY(changed(file, third));
    QVERIFY(!changed(file, other));
}

void FileAttributesTest::fileTouchedWhileBeingReadStaysChanged() {
    if (!m_xattrs)
        QSKIP("the temporary folder has no extended attributes");
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("doc.txt"), "data").toStdString();
    const platform::FileIdentity state = stateOf(file);
    // Changed (same size, time put back) after the archiver began reading: it may hold the old bytes.
    QVERIFY(
        !FileAttributes::clearArchiveAttribute(file, state.size, state.mtimeNs, state.ctimeNs, thisArchive));
    QVERIFY(changed(file));
}

void FileAttributesTest::wallClockTimesConvert() {
    TestProgramDir dir;
    const std::filesystem::path file = dir.writeFile(QStringLiteral("t.txt"), "x").toStdString();
    setMtime(file, 1234567890);
    QCOMPARE(FileAttributes::toUnixNs(std::filesystem::last_write_time(file)), stateOf(file).mtimeNs);
}

QTEST_GUILESS_MAIN(FileAttributesTest)
#include "tst_fileattributes.moc"
