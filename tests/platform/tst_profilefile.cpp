#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "testprogramdir.h"
#include "unprivilegedscope.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <climits>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::ProfileBatch;
using platform::ProfileFile;
using platform::ProfileWriteError;

namespace {

int countTemporaries(const QString& folder, const QString& name) {
    return QDir(folder)
        .entryList({QStringLiteral(".") + name + QStringLiteral(".tmp-*")}, QDir::Files | QDir::Hidden)
        .size();
}

} // namespace

class ProfileFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsWithProfileRules_data();
    void readsWithProfileRules();
    void readsIntegers_data();
    void readsIntegers();
    void readsBooleans_data();
    void readsBooleans();
    void missingFileGivesDefaults();

    void writesAndReadsBack();
    void writeKeepsEverythingElseByteForByte();
    void writeAddsKeyAtEndOfSectionAndSectionAtEnd();
    void writeKeepsCrLfFiles();
    void writeGoesToFirstDuplicate();
    void writeStoresOneLineOnly();
    void eraseSectionRemovesHeaderAndLines();
    void eraseMissingSectionCreatesNoFile();

    void survivesGarbage_data();
    void survivesGarbage();

    void writeToReadOnlyFolderFails();
    void writeToReadOnlyFileFails();
    void writeWithoutFolderFails();
    void writeOverUnreadableFileFails();
    void writeFollowsSymbolicLink();
    void writeKeepsPermissions();
    void writeRemovesStaleTemporaries();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void unreadableFileStaysWhenNoNewOneCanBeWritten();
};

void ProfileFileTest::readsWithProfileRules_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray def = "<default>";
    QTest::newRow("plain") << QByteArray("[settings]\nx=12\n") << QByteArray("settings") << QByteArray("x")
                           << QByteArray("12");
    QTest::newRow("section without case")
        << QByteArray("[SetTings]\nx=1\n") << QByteArray("settings") << QByteArray("x") << QByteArray("1");
    QTest::newRow("key without case")
        << QByteArray("[s]\nNew_Only=1\n") << QByteArray("s") << QByteArray("new_ONLY") << QByteArray("1");
    QTest::newRow("blanks around value")
        << QByteArray("[s]\nk= \t value with  inner \t \n") << QByteArray("s") << QByteArray("k")
        << QByteArray("value with  inner");
    QTest::newRow("blanks around names")
        << QByteArray("  [ s ]  \n  k  =v\n") << QByteArray("s") << QByteArray("k") << QByteArray("v");
    QTest::newRow("double quotes") << QByteArray("[s]\nk=  \" padded \"  \n") << QByteArray("s")
                                   << QByteArray("k") << QByteArray(" padded ");
    QTest::newRow("single quotes") << QByteArray("[s]\nk='x'\n") << QByteArray("s") << QByteArray("k")
                                   << QByteArray("x");
    QTest::newRow("mismatched quotes")
        << QByteArray("[s]\nk=\"x'\n") << QByteArray("s") << QByteArray("k") << QByteArray("\"x'");
    QTest::newRow("lone quote") << QByteArray("[s]\nk=\"\n") << QByteArray("s") << QByteArray("k")
                                << QByteArray("\"");
    QTest::newRow("only one pair removed")
        << QByteArray("[s]\nk=\"\"a\"\"\n") << QByteArray("s") << QByteArray("k") << QByteArray("\"a\"");
    QTest::newRow("empty value is not missing")
        << QByteArray("[s]\nk=\n") << QByteArray("s") << QByteArray("k") << QByteArray("");
    QTest::newRow("equals sign in value")
        << QByteArray("[s]\nk=a=b\n") << QByteArray("s") << QByteArray("k") << QByteArray("a=b");
    QTest::newRow("crlf") << QByteArray("[s]\r\nk=v\r\n") << QByteArray("s") << QByteArray("k")
                          << QByteArray("v");
    QTest::newRow("missing section") << QByteArray("[t]\nk=v\n") << QByteArray("s") << QByteArray("k") << def;
    QTest::newRow("missing key") << QByteArray("[s]\nj=v\n") << QByteArray("s") << QByteArray("k") << def;
    QTest::newRow("key of another section")
        << QByteArray("[s]\n[t]\nk=v\n") << QByteArray("s") << QByteArray("k") << def;
    QTest::newRow("key before any section")
        << QByteArray("k=v\n[s]\n") << QByteArray("s") << QByteArray("k") << def;
    QTest::newRow("comment is not a key")
        << QByteArray("[s]\n;k=v\n") << QByteArray("s") << QByteArray("k") << def;
    QTest::newRow("line without equals is not a key")
        << QByteArray("[s]\nk\n") << QByteArray("s") << QByteArray("k") << def;
    QTest::newRow("first duplicate key wins") << QByteArray("[s]\nk=first\nk=second\n") << QByteArray("s")
                                              << QByteArray("k") << QByteArray("first");
    QTest::newRow("first duplicate section wins") << QByteArray("[s]\nk=first\n[S]\nk=second\nj=only here\n")
                                                  << QByteArray("s") << QByteArray("j") << def;
    QTest::newRow("no final line break")
        << QByteArray("[s]\nk=v") << QByteArray("s") << QByteArray("k") << QByteArray("v");
    QTest::newRow("nul ends the value")
        << QByteArray("[s]\nk=ab\0cd\n", 12) << QByteArray("s") << QByteArray("k") << QByteArray("ab");
    QTest::newRow("utf-8 bytes kept") << QByteArray("[s]\nk=C:\\D\xc3\xa9j\xc3\xa0\n") << QByteArray("s")
                                      << QByteArray("k") << QByteArray("C:\\D\xc3\xa9j\xc3\xa0");
    QTest::newRow("long value cut to 2047") << ("[s]\nk=" + QByteArray(5000, 'a') + "\n") << QByteArray("s")
                                            << QByteArray("k") << QByteArray(2047, 'a');
    QTest::newRow("2047 kept whole") << ("[s]\nk=" + QByteArray(2047, 'b') + "\n") << QByteArray("s")
                                     << QByteArray("k") << QByteArray(2047, 'b');
}

void ProfileFileTest::readsWithProfileRules() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    TestProgramDir dir;
    const ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), content));
    QCOMPARE(file.readString(section, key, "<default>"), expected);
}

void ProfileFileTest::readsIntegers_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    const int def = 77;
    QTest::newRow("decimal") << QByteArray("30") << 30;
    QTest::newRow("blanks") << QByteArray("  42  ") << 42;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("plus") << QByteArray("+5") << 5;
    QTest::newRow("leading zeros") << QByteArray("007") << 7;
    QTest::newRow("0x") << QByteArray("0x1E") << 30;
    QTest::newRow("0X") << QByteArray("0X1e") << 30;
    QTest::newRow("dollar") << QByteArray("$1E") << 30;
    QTest::newRow("hex wraps to negative") << QByteArray("$FFFFFFFF") << -1;
    QTest::newRow("int max") << QByteArray("2147483647") << INT_MAX;
    QTest::newRow("int min") << QByteArray("-2147483648") << INT_MIN;
    QTest::newRow("quoted") << QByteArray("\"12\"") << 12;
    QTest::newRow("overflow") << QByteArray("2147483648") << def;
    QTest::newRow("hex overflow") << QByteArray("0x100000000") << def;
    QTest::newRow("huge") << QByteArray(400, '9') << def;
    QTest::newRow("letters") << QByteArray("abc") << def;
    QTest::newRow("word true") << QByteArray("true") << def;
    QTest::newRow("trailing garbage") << QByteArray("12abc") << def;
    QTest::newRow("inner blank") << QByteArray("1 2") << def;
    QTest::newRow("fraction") << QByteArray("1.5") << def;
    QTest::newRow("empty") << QByteArray("") << def;
    QTest::newRow("sign only") << QByteArray("-") << def;
    QTest::newRow("dollar only") << QByteArray("$") << def;
    QTest::newRow("0x only") << QByteArray("0x") << def;
    QTest::newRow("bad hex digit") << QByteArray("$1G") << def;
}

void ProfileFileTest::readsIntegers() {
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    TestProgramDir dir;
    const ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), "[s]\nk=" + stored + "\n"));
    QCOMPARE(file.readInteger("s", "k", 77), expected);
}

void ProfileFileTest::readsBooleans_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("2") << QByteArray("2") << false << true;
    QTest::newRow("-1") << QByteArray("-1") << false << true;
    QTest::newRow("hex zero") << QByteArray("$0") << true << false;
    QTest::newRow("true keeps default false") << QByteArray("true") << false << false;
    QTest::newRow("yes keeps default true") << QByteArray("yes") << true << true;
    QTest::newRow("empty keeps default") << QByteArray("") << true << true;
}

void ProfileFileTest::readsBooleans() {
    QFETCH(QByteArray, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    TestProgramDir dir;
    const ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), "[s]\nk=" + stored + "\n"));
    QCOMPARE(file.readBool("s", "k", defaultValue), expected);
}

void ProfileFileTest::missingFileGivesDefaults() {
    TestProgramDir dir;
    const ProfileFile file(dir.filePath(QStringLiteral("none.ini")));
    QCOMPARE(file.readString("s", "k", "d"), QByteArray("d"));
    QCOMPARE(file.readInteger("s", "k", -3), -3);
    QCOMPARE(file.readBool("s", "k", true), true);
    QVERIFY(!QFile::exists(file.filePath()));
}

void ProfileFileTest::writesAndReadsBack() {
    TestProgramDir dir;
    ProfileFile file(dir.filePath(QStringLiteral("new.ini")));
    file.writeString("settings", "destination", "/media/backup disk/");
    file.writeInteger("settings", "x", -120);
    file.writeBool("settings", "new_only", true);
    file.writeInteger("stats", "total_backups", INT_MAX);
    file.writeString("settings", "x", "0x1E"); // replaces, not appends
    QCOMPARE(file.readString("settings", "destination", ""), QByteArray("/media/backup disk/"));
    QCOMPARE(file.readInteger("settings", "x", 0), 30);
    QCOMPARE(file.readBool("settings", "new_only", false), true);
    QCOMPARE(file.readInteger("stats", "total_backups", 0), INT_MAX);
    QCOMPARE(dir.readFile(QStringLiteral("new.ini")),
             QByteArray("[settings]\ndestination=/media/backup disk/\nx=0x1E\nnew_only=1\n"
                        "[stats]\ntotal_backups=2147483647\n"));
    // Values whose own blanks or quotes reading would strip come back as they were written.
    for (const QByteArray& value : {QByteArray(" /lead"), QByteArray("/trail "), QByteArray("\"/quoted\""),
                                    QByteArray("'single'"), QByteArray("\t")}) {
        file.writeString("folders", "folder_0", value);
        QCOMPARE(file.readString("folders", "folder_0", ""), value);
    }
}

void ProfileFileTest::writeKeepsEverythingElseByteForByte() {
    const QByteArray before = "; written by hand\n"
                              "orphan=before any section\n"
                              "[settings]\n"
                              "  ; indented comment\n"
                              "Width = 420 \n"
                              "just some text\n"
                              "unknown_key=\"keep me\"\n"
                              "\n"
                              "[plugins]\n"
                              "Alpha=1\n"
                              "# not ours\n";
    TestProgramDir dir;
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), before));
    file.writeInteger("SETTINGS", "width", 500);
    QByteArray expected = before;
    expected.replace("Width = 420 \n", "Width=500\n");
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")), expected);
    QCOMPARE(file.readString("plugins", "alpha", ""), QByteArray("1"));
}

void ProfileFileTest::writeAddsKeyAtEndOfSectionAndSectionAtEnd() {
    TestProgramDir dir;
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), "[a]\nk=1\n; tail comment\n\n[b]\nj=2"));
    file.writeString("a", "added", "x");
    file.writeString("c", "new", "y");
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")),
             QByteArray("[a]\nk=1\n; tail comment\nadded=x\n\n[b]\nj=2\n[c]\nnew=y\n"));
}

void ProfileFileTest::writeKeepsCrLfFiles() {
    TestProgramDir dir;
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), "[a]\r\nk=1\r\n"));
    file.writeString("a", "k", "2");
    file.writeString("a", "j", "3");
    file.writeString("b", "i", "4");
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")), QByteArray("[a]\r\nk=2\r\nj=3\r\n[b]\r\ni=4\r\n"));
}

void ProfileFileTest::writeGoesToFirstDuplicate() {
    TestProgramDir dir;
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), "[s]\nk=1\nk=2\n[S]\nk=3\n"));
    file.writeString("s", "K", "9");
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")), QByteArray("[s]\nk=9\nk=2\n[S]\nk=3\n"));
    QCOMPARE(file.readString("s", "k", ""), QByteArray("9"));
}

void ProfileFileTest::writeStoresOneLineOnly() {
    TestProgramDir dir;
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), "[s]\nother=1\n"));
    file.writeString("s", "folder_0", "/home/u/evil\n[s]\nother=0");
    file.writeString("s", "folder_1", QByteArray("a\0b", 3));
    file.writeString("s", "folder_2", "c\rd");
    QCOMPARE(file.readString("s", "folder_0", ""), QByteArray("/home/u/evil"));
    QCOMPARE(file.readString("s", "folder_1", ""), QByteArray("a"));
    QCOMPARE(file.readString("s", "folder_2", ""), QByteArray("c"));
    QCOMPARE(file.readInteger("s", "other", 5), 1);
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")).count('\n'), 5);
}

void ProfileFileTest::eraseSectionRemovesHeaderAndLines() {
    TestProgramDir dir;
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"),
                                   "[settings]\nx=1\n[Folders]\nfolder_count=1\n; c\nfolder_0=/a\n\n"
                                   "[ex_types]\nex_type_count=-1\n"));
    file.eraseSection("folders");
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")),
             QByteArray("[settings]\nx=1\n[ex_types]\nex_type_count=-1\n"));
    QCOMPARE(file.readString("folders", "folder_0", "none"), QByteArray("none"));
    file.writeString("folders", "folder_0", "/b");
    QCOMPARE(dir.readFile(QStringLiteral("a.ini")),
             QByteArray("[settings]\nx=1\n[ex_types]\nex_type_count=-1\n[folders]\nfolder_0=/b\n"));
}

void ProfileFileTest::eraseMissingSectionCreatesNoFile() {
    TestProgramDir dir;
    ProfileFile file(dir.filePath(QStringLiteral("none.ini")));
    file.eraseSection("folders");
    QVERIFY(!QFile::exists(file.filePath()));
}

void ProfileFileTest::survivesGarbage_data() {
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<bool>("binary");
    QByteArray binary(1 << 20, Qt::Uninitialized);
    QRandomGenerator generator(4711);
    for (char& c : binary)
        c = char(generator.bounded(256));
    QTest::newRow("random binary") << binary << true;
    QTest::newRow("megabyte line") << QByteArray(1 << 20, 'x') << false;
    QTest::newRow("megabyte value") << ("[s]\nk=" + QByteArray(1 << 20, 'v')) << false;
    QTest::newRow("nul bytes") << QByteArray(4096, '\0') << true;
    QTest::newRow("brackets") << QByteArray("[\n]\n[[[]]]\n[=\n=]\n=\n[]\n") << false;
    QTest::newRow("cr only") << QByteArray("[s]\rk=1\r") << false;
}

void ProfileFileTest::survivesGarbage() {
    QFETCH(QByteArray, garbage);
    QFETCH(bool, binary);
    TestProgramDir dir;
    const QByteArray content = garbage + "\n[good]\nkey= found \n";
    ProfileFile file(dir.writeFile(QStringLiteral("a.ini"), content));
    // A binary file reads as empty and is set aside whole by the first write.
    QCOMPARE(file.readString("good", "key", ""), QByteArray(binary ? "" : "found"));
    QCOMPARE(file.readInteger("good", "missing", 5), 5);
    file.writeString("good", "second", "2");
    QCOMPARE(file.readString("good", "second", ""), QByteArray("2"));
    if (binary) {
        QCOMPARE(dir.readFile(QStringLiteral("a.ini.unreadable")), content);
        QCOMPARE(dir.readFile(QStringLiteral("a.ini")), QByteArray("[good]\nsecond=2\n"));
    } else {
        QVERIFY(dir.readFile(QStringLiteral("a.ini")).startsWith(garbage));
    }
}

namespace {

void setMode(const QString& path, mode_t mode) {
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

// Lays out <temp>/<folder>/settings.ini reachable by everybody, for tests that drop root.
QString sharedSettingsFile(const TestProgramDir& dir) {
    setMode(dir.path(), 0755);
    const QString path = dir.writeFile(QStringLiteral("shared/settings.ini"), "[s]\nk=1\n");
    setMode(dir.filePath(QStringLiteral("shared")), 0777);
    setMode(path, 0644);
    return path;
}

void expectWriteError(ProfileFile& file, const QString& path) {
    try {
        file.writeInteger("s", "k", 2);
        QFAIL("the write succeeded");
    } catch (const ProfileWriteError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Unable to write to ") + path);
    }
}

} // namespace

void ProfileFileTest::writeToReadOnlyFolderFails() {
    TestProgramDir dir;
    const QString path = sharedSettingsFile(dir);
    setMode(dir.filePath(QStringLiteral("shared")), 0555);
    ProfileFile file(path);
    {
        UnprivilegedScope scope;
        if (!scope.isActive())
            QSKIP("cannot drop root privileges here");
        QCOMPARE(file.readInteger("s", "k", 0), 1);
        expectWriteError(file, path);
    }
    setMode(dir.filePath(QStringLiteral("shared")), 0755);
    QCOMPARE(dir.readFile(QStringLiteral("shared/settings.ini")), QByteArray("[s]\nk=1\n"));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("shared")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("settings.ini")});
}

void ProfileFileTest::writeToReadOnlyFileFails() {
    // The folder could take a new file, but a read-only settings file stays as it is.
    TestProgramDir dir;
    const QString path = sharedSettingsFile(dir);
    setMode(path, 0444);
    ProfileFile file(path);
    {
        UnprivilegedScope scope;
        if (!scope.isActive())
            QSKIP("cannot drop root privileges here");
        expectWriteError(file, path);
    }
    QCOMPARE(dir.readFile(QStringLiteral("shared/settings.ini")), QByteArray("[s]\nk=1\n"));
    QCOMPARE(countTemporaries(dir.filePath(QStringLiteral("shared")), QStringLiteral("settings.ini")), 0);
}

void ProfileFileTest::writeWithoutFolderFails() {
    TestProgramDir dir;
    dir.writeFile(QStringLiteral("plainfile"), "x");
    const QString path = dir.filePath(QStringLiteral("plainfile/settings.ini"));
    ProfileFile file(path);
    try {
        file.writeBool("s", "k", true);
        QFAIL("the write into a missing folder succeeded");
    } catch (const ProfileWriteError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), "Unable to write to " + path);
    }
}

void ProfileFileTest::writeOverUnreadableFileFails() {
    // A folder where the file should be cannot be read: it must not be replaced by a file.
    TestProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("settings.ini/inner")));
    ProfileFile file(dir.filePath(QStringLiteral("settings.ini")));
    QCOMPARE(file.readString("s", "k", "d"), QByteArray("d"));
    QVERIFY_THROWS_EXCEPTION(ProfileWriteError, file.writeString("s", "k", "v"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("settings.ini/inner"))).isDir());
    QCOMPARE(countTemporaries(dir.path(), QStringLiteral("settings.ini")), 0);
}

void ProfileFileTest::writeFollowsSymbolicLink() {
    TestProgramDir dir;
    const QString target = dir.writeFile(QStringLiteral("real/settings.ini"), "; mine\n[s]\nk=1\n");
    QVERIFY(QFile::link(QStringLiteral("real/settings.ini"), dir.filePath(QStringLiteral("link.ini"))));
    ProfileFile file(dir.filePath(QStringLiteral("link.ini")));
    file.writeInteger("s", "k", 2);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link.ini"))).isSymLink());
    QCOMPARE(dir.readFile(QStringLiteral("real/settings.ini")), QByteArray("; mine\n[s]\nk=2\n"));
    QCOMPARE(countTemporaries(dir.path(), QStringLiteral("link.ini")), 0);
    QCOMPARE(countTemporaries(dir.filePath(QStringLiteral("real")), QStringLiteral("settings.ini")), 0);
}

void ProfileFileTest::writeKeepsPermissions() {
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("a.ini"), "[s]\n");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    ProfileFile file(path);
    file.writeString("s", "k", "v");
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0640));

    ProfileFile fresh(dir.filePath(QStringLiteral("fresh.ini")));
    const mode_t old = ::umask(022);
    fresh.writeString("s", "k", "v");
    ::umask(old);
    QVERIFY(::stat(QFile::encodeName(fresh.filePath()).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0644));
}

void ProfileFileTest::writeRemovesStaleTemporaries() {
    TestProgramDir dir;
    dir.writeFile(QStringLiteral(".a.ini.tmp-AbC123"), "stale");
    dir.writeFile(QStringLiteral(".a.ini.tmp-longer-name"), "not ours");
    dir.writeFile(QStringLiteral(".b.ini.tmp-AbC123"), "another file's");
    ProfileFile file(dir.filePath(QStringLiteral("a.ini")));
    file.writeString("s", "k", "v");
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral(".a.ini.tmp-AbC123"))));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral(".a.ini.tmp-longer-name"))));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral(".b.ini.tmp-AbC123"))));
}

namespace {

// Lets this process write no file past a few bytes, so that writing a temporary file fails
// part way; a write past the limit then fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_active = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {bytes, m_old.rlim_max};
        m_active = m_active && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isActive() const { return m_active; }

private:
    struct rlimit m_old {};
    sighandler_t m_oldHandler = SIG_DFL;
    bool m_active = false;
};

} // namespace

void ProfileFileTest::unreadableFileStaysWhenNoNewOneCanBeWritten() {
    // A file the program cannot read is kept aside for a new one; when the new one cannot be
    // written, the old one goes back to its name rather than stay renamed with no settings file.
    QByteArray wide = QByteArray("\xff\xfe");
    for (const char c : QByteArray("[settings]\r\ndestination=/media/wide/\r\n")) {
        wide.append(c);
        wide.append('\0');
    }
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("settings.ini"), wide);
    bool failed = false;
    {
        FileSizeLimit limit(1024);
        QVERIFY(limit.isActive());
        try {
            ProfileBatch save(path);
            QVERIFY(save.isUnreadable());
            save.writeString("settings", "comment", QByteArray(16384, 'v'));
            save.commit();
        } catch (const ProfileWriteError&) {
            failed = true;
        }
    }
    QVERIFY(failed);
    QCOMPARE(dir.readFile(QStringLiteral("settings.ini")), wide);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("settings.ini")});
}

void ProfileFileTest::failedWriteKeepsOldFile_data() {
    QTest::addColumn<bool>("batch");
    QTest::newRow("one write") << false;
    QTest::newRow("a whole save") << true;
}

void ProfileFileTest::failedWriteKeepsOldFile() {
    // The new content outgrows the limit, the old one is within it: the temporary file is
    // made, and its write fails half way.
    QFETCH(bool, batch);
    const QByteArray before = "[settings]\ndestination=/media/old/\nx=1\n";
    const QByteArray longValue(16384, 'v');
    TestProgramDir dir;
    const QString path = dir.writeFile(QStringLiteral("settings.ini"), before);
    bool failed = false;
    bool limited = false;
    {
        FileSizeLimit limit(4096);
        limited = limit.isActive();
        try {
            if (batch) {
                ProfileBatch save(path);
                save.writeString("settings", "destination", "/media/new/");
                save.writeString("settings", "comment", longValue);
                save.commit();
            } else {
                ProfileFile(path).writeString("settings", "comment", longValue);
            }
        } catch (const ProfileWriteError&) {
            failed = true;
        }
    }
    QVERIFY(limited);
    QCOMPARE(dir.readFile(QStringLiteral("settings.ini")), before);
    QCOMPARE(countTemporaries(dir.path(), QStringLiteral("settings.ini")), 0);
    QVERIFY(failed);
    // The next save with room to write goes through.
    ProfileFile(path).writeString("settings", "comment", longValue);
    QCOMPARE(ProfileFile(path).readString("settings", "comment", ""), longValue.left(2047));
}

QTEST_GUILESS_MAIN(ProfileFileTest)
#include "tst_profilefile.moc"
