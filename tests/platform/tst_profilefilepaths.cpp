// Where a settings file may be: links to things that are no file, and names that are not UTF-8.
#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "testprogramdir.h"

#include <QTest>

#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using platform::ProfileBatch;
using platform::ProfileFile;
using platform::ProfileWriteError;

namespace fs = std::filesystem;

namespace {

bool isType(const fs::path& path, mode_t type) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

void expectWriteError(ProfileBatch& batch, const fs::path& path) {
    batch.writeInteger("settings", "width", 500);
    try {
        batch.commit();
        QFAIL("the write succeeded");
    } catch (const ProfileWriteError& error) {
        QCOMPARE(QByteArray(error.what()), "Unable to write to " + QByteArray::fromStdString(path.native()));
        QCOMPARE(error.path(), path);
    }
}

} // namespace

class ProfileFilePathsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linkToNoFileIsNeitherReadNorReplaced_data();
    void linkToNoFileIsNeitherReadNorReplaced();
    void namesThatAreNotUtf8();
};

void ProfileFilePathsTest::linkToNoFileIsNeitherReadNorReplaced_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << QStringLiteral("fifo");
    QTest::newRow("device") << QStringLiteral("device");
    QTest::newRow("folder") << QStringLiteral("folder");
}

void ProfileFilePathsTest::linkToNoFileIsNeitherReadNorReplaced() {
    QFETCH(QString, kind);
    TestProgramDir dir;
    const fs::path target = dir.fsPath() / "target";
    mode_t type = S_IFDIR;
    if (kind == QStringLiteral("fifo")) {
        QVERIFY(::mkfifo(target.c_str(), 0666) == 0);
        type = S_IFIFO;
    } else if (kind == QStringLiteral("device")) {
        // A node like the null device, made here so that nothing outside the test is at stake.
        if (::mknod(target.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("cannot make a device node here");
        type = S_IFCHR;
    } else {
        fs::create_directory(target);
    }
    const fs::path link = dir.fsPath() / "Quoralis2005Config.ini";
    fs::create_symlink("target", link);

    // Reading gives the defaults at once: nothing waits for a writer of the FIFO.
    ProfileBatch batch(link);
    QVERIFY(batch.isUnreadable());
    QCOMPARE(batch.readInteger("settings", "width", 420), 420);
    QCOMPARE(ProfileFile(link).readString("settings", "destination", "none"), QByteArray("none"));
    expectWriteError(batch, link);
    QVERIFY(batch.setAsidePath().empty());
    QVERIFY(fs::is_symlink(link));
    QVERIFY(isType(target, type));
    QCOMPARE(std::distance(fs::directory_iterator(dir.fsPath()), fs::directory_iterator()), 2);
}

void ProfileFilePathsTest::namesThatAreNotUtf8() {
    TestProgramDir dir;
    const fs::path folder = dir.fsPath() / std::string("program \xFF\xFE folder");
    fs::create_directory(folder);
    const fs::path path = folder / "Quoralis2005Config.ini";
    {
        ProfileBatch batch(path);
        batch.writeString("settings", "destination", "/backups/\xFF/");
        batch.writeInteger("settings", "width", 500);
        batch.commit();
    }
    ProfileFile file(path);
    file.writeInteger("stats", "total_backups", 3);
    QVERIFY(isType(path, S_IFREG)); // at these very bytes
    QCOMPARE(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    QCOMPARE(file.readString("settings", "destination", ""), QByteArray("/backups/\xFF/"));
    QCOMPARE(file.readInteger("settings", "width", 0), 500);
    QCOMPARE(ProfileBatch(path).readInteger("stats", "total_backups", 0), 3);

    // A failure names the file by its own bytes.
    const fs::path inFile = path / "inner.ini";
    ProfileBatch underFile(inFile);
    expectWriteError(underFile, inFile);
}

QTEST_GUILESS_MAIN(ProfileFilePathsTest)
#include "tst_profilefilepaths.moc"
