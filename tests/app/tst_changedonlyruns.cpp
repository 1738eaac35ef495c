#include "app/exitstatus.h"
#include "installedprogram.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

// The entry name the backup gives a file: its full path without the root "/".
QString entryName(const QString& path) {
    return path.mid(1);
}

// Rewrites the file with `content` and puts its modification time back to what it was, as a
// tool that restores times would.
void rewriteKeepingTime(const QString& path, const QByteArray& content) {
    struct stat before {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &before) == 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

bool extendedAttributesIn(const InstalledProgram& p) {
    const QString probe = p.dir.writeFile(QStringLiteral("xattr-probe"), "x");
    return ::setxattr(QFile::encodeName(probe).constData(), "user.probe", "1", 1, 0) == 0;
}

// A run that must write the file's new content into the archive.
void expectTaken(InstalledProgram& p, const QString& file, const QByteArray& content) {
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Backup created: "), log.constData());
    QVERIFY(InstalledProgram::unzipTest(p.archive()));
    QCOMPARE(InstalledProgram::entryData(p.archive(), entryName(file)), content);
}

} // namespace

// "Backup changed files only" runs of the built program: each archive gets every change made
// since this archive, as it is now, took the file.
class TestChangedOnlyRuns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoSetupsOfOneFolderEachTakeAChange();
    void datedArchivesOfTwoSetupsEachTakeAChange();
    void olderArchivePutBackTakesTheChangesAgain();
    void rewriteWithTheOldSizeAndTimeIsTaken();
    void emptyFolderKeepsItsPreviousBackup_data();
    void emptyFolderKeepsItsPreviousBackup();
};

void TestChangedOnlyRuns::twoSetupsOfOneFolderEachTakeAChange() {
    InstalledProgram first;
    InstalledProgram second;
    if (!extendedAttributesIn(first))
        QSKIP("the temporary folder has no extended attributes");
    const QString docs = first.dir.filePath(QStringLiteral("data/Docs"));
    const QString file = first.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "version one");
    first.settings("new_only=1", {docs});
    second.settings("new_only=1", {docs});
    expectTaken(first, file, "version one");
    expectTaken(second, file, "version one");

    first.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "version two, longer");
    expectTaken(first, file, "version two, longer");
    expectTaken(second, file, "version two, longer");
    // Once each has it, neither takes it again.
    QCOMPARE(first.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(first.lastLog().contains(" - No files for backup"));
    QCOMPARE(second.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(second.lastLog().contains(" - No files for backup"));
}

// Dated archives hold the changes alone: the folder walk picks the changed files by their marks.
void TestChangedOnlyRuns::datedArchivesOfTwoSetupsEachTakeAChange() {
    InstalledProgram first;
    InstalledProgram second;
    if (!extendedAttributesIn(first))
        QSKIP("the temporary folder has no extended attributes");
    const QString docs = first.dir.filePath(QStringLiteral("data/Docs"));
    first.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "version one");
    first.settings("new_only=1\nmulti_archive=1", {docs});
    second.settings("new_only=1\nmulti_archive=1", {docs});
    QCOMPARE(first.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(first.lastLog().contains(" - Backup created: "));
    QCOMPARE(first.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY2(first.lastLog().contains(" - No files for backup"), first.lastLog().constData());
    QCOMPARE(second.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY2(second.lastLog().contains(" - Backup created: "), second.lastLog().constData());
    const QStringList archives = second.destinationFiles();
    QCOMPARE(archives.size(), 1);
    QCOMPARE(
        InstalledProgram::entryData(second.archive(archives.first()),
                                    entryName(first.dir.filePath(QStringLiteral("data/Docs/notes.txt")))),
        QByteArray("version one"));
}

void TestChangedOnlyRuns::olderArchivePutBackTakesTheChangesAgain() {
    InstalledProgram p;
    if (!extendedAttributesIn(p))
        QSKIP("the temporary folder has no extended attributes");
    const QString file = p.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "version one");
    p.dir.writeFile(QStringLiteral("data/Docs/other.txt"), "never changes");
    p.settings("new_only=1", {QStringLiteral("data/Docs")});
    expectTaken(p, file, "version one");
    const QByteArray older = p.dir.readFile(QStringLiteral("backups/Quoralis.zip"));

    p.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "version two, longer");
    expectTaken(p, file, "version two, longer");
    p.dir.writeFile(QStringLiteral("backups/Quoralis.zip"), older);
    expectTaken(p, file, "version two, longer");
    QCOMPARE(InstalledProgram::entryData(p.archive(),
                                         entryName(p.dir.filePath(QStringLiteral("data/Docs/other.txt")))),
             QByteArray("never changes"));
}

void TestChangedOnlyRuns::rewriteWithTheOldSizeAndTimeIsTaken() {
    InstalledProgram p;
    if (!extendedAttributesIn(p))
        QSKIP("the temporary folder has no extended attributes");
    const QString file = p.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "version one");
    p.settings("new_only=1", {QStringLiteral("data/Docs")});
    expectTaken(p, file, "version one");

    rewriteKeepingTime(file, "version two");
    expectTaken(p, file, "version two");
}

void TestChangedOnlyRuns::emptyFolderKeepsItsPreviousBackup_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("docsArchive");
    QTest::addColumn<QString>("photosArchive");
    const QString single = QStringLiteral("Quoralis.zip");
    QTest::newRow("one archive, previous deleted first") << QByteArray("del_prev=1") << single << single;
    QTest::newRow("one archive, updated") << QByteArray() << single << single;
    QTest::newRow("one archive, changed files only") << QByteArray("new_only=1") << single << single;
    QTest::newRow("archive per folder, previous deleted first")
        << QByteArray("each_folder=1\ndel_prev=1") << QStringLiteral("Quoralis_Docs.zip")
        << QStringLiteral("Quoralis_Photos.zip");
    QTest::newRow("dated archives") << QByteArray("multi_archive=1") << QString() << QString();
}

void TestChangedOnlyRuns::emptyFolderKeepsItsPreviousBackup() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, docsArchive);
    QFETCH(QString, photosArchive);
    InstalledProgram p;
    const QString docs = p.dir.filePath(QStringLiteral("data/Docs"));
    const QString photos = p.dir.filePath(QStringLiteral("data/Photos"));
    const QString docsFile = p.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "notes");
    const QString photoFile = p.dir.writeFile(QStringLiteral("data/Photos/beach.jpg"), "a photo");
    // Empty from the start: nothing of it was ever backed up, so nothing is kept for it.
    QVERIFY(QDir().mkpath(p.dir.filePath(QStringLiteral("data/Spare"))));
    p.settings(settings, {docs, photos, QStringLiteral("data/Spare")});
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(!p.lastLog().contains(" is empty; "));

    // The drive of Photos is not mounted: its mount point is an empty folder.
    QVERIFY(QFile::remove(photoFile));
    if (photosArchive.isEmpty()) { // the next dated archive gets a name of its own
        const qint64 second = QDateTime::currentSecsSinceEpoch();
        QVERIFY(QTest::qWaitFor([second] { return QDateTime::currentSecsSinceEpoch() != second; }, 5000));
    }
    p.dir.writeFile(QStringLiteral("data/Docs/notes.txt"), "newer notes");
    QCOMPARE(p.run(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - " + photos.toUtf8() + " is empty; its previous backup is kept\r\n"),
             log.constData());
    QVERIFY(!log.contains("Spare is empty"));
    if (photosArchive.isEmpty()) {
        // Dated: the first run's archive holds them; the new one holds what the folders have now.
        const QStringList dated = p.destinationFiles();
        QCOMPARE(dated.size(), 2);
        QCOMPARE(InstalledProgram::entryData(p.archive(dated.first()), entryName(photoFile)),
                 QByteArray("a photo"));
        QCOMPARE(InstalledProgram::entryData(p.archive(dated.last()), entryName(docsFile)),
                 QByteArray("newer notes"));
        return;
    }
    QVERIFY(InstalledProgram::unzipTest(p.archive(photosArchive)));
    QCOMPARE(InstalledProgram::entryData(p.archive(photosArchive), entryName(photoFile)),
             QByteArray("a photo"));
    QCOMPARE(InstalledProgram::entryData(p.archive(docsArchive), entryName(docsFile)),
             QByteArray("newer notes"));

    // Mounted again: an ordinary run.
    p.dir.writeFile(QStringLiteral("data/Photos/beach.jpg"), "a photo");
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(!p.lastLog().contains(" is empty; "));
}

QTEST_GUILESS_MAIN(TestChangedOnlyRuns)
#include "tst_changedonlyruns.moc"
