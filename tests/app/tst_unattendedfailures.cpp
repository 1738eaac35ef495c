#include "app/exitstatus.h"
#include "incompressible.h"
#include "installedprogram.h"
#include "testmount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether an archive holds an entry for the file at `relative` below the program folder.
bool holds(const QStringList& entries, const InstalledProgram& p, const QString& relative) {
    QString name = p.dir.filePath(relative);
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return entries.contains(name);
}

// The locks of archives being written, in the runtime folder or (as older versions left them) beside
// the archive; the lock of the program's one copy per settings file is not among them.
QStringList lockFilesIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("quoralis-archive-*.lock"), QStringLiteral(".*.lock")},
                                  QDir::Files | QDir::Hidden);
}

} // namespace

// "/autoclose" runs of the built program in which a backup the user asked for could be lost
// or not be made: every file stays restorable, and the exit status says when an archive was
// not made.
class TestUnattendedFailures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void missingFolderKeepsItsFiles_data();
    void missingFolderKeepsItsFiles();
    void onlyFolderMissing();
    void missingFolderKeepsItsFilesInTheArchiveItShares();
    void foldersSharingAnArchiveNameBothEndUpInIt_data();
    void foldersSharingAnArchiveNameBothEndUpInIt();
    void changedOnlyDoesNotShrinkAReplacedArchive();
    void renamedFilesAreArchivedUnderTheirNewNames();
    void changedOnlyAddsBackAnEntryRemovedFromTheArchive();
    void archiveThatCannotBeMadeIsReported_data();
    void archiveThatCannotBeMadeIsReported();
    void secondRunAtTheSameTimeIsReported();
    void endedRunLeavesNoLockFile_data();
    void endedRunLeavesNoLockFile();
};

void TestUnattendedFailures::missingFolderKeepsItsFiles_data() {
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QString>("picsArchive");
    QTest::newRow("one archive") << QByteArray("del_prev=1") << QStringLiteral("Quoralis.zip");
    QTest::newRow("archive per folder")
        << QByteArray("del_prev=1\neach_folder=1") << QStringLiteral("Quoralis_Pics.zip");
}

void TestUnattendedFailures::missingFolderKeepsItsFiles() {
    QFETCH(QByteArray, extra);
    QFETCH(QString, picsArchive);
    InstalledProgram p;
    p.dir.writeFile(QStringLiteral("data/Docs/a.txt"), "letter");
    p.dir.writeFile(QStringLiteral("data/Pics/p.txt"), "picture");
    p.settings(extra, {QStringLiteral("data/Docs"), QStringLiteral("data/Pics")});
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(holds(p.entries(p.archive(picsArchive)), p, QStringLiteral("data/Pics/p.txt")));
    // The drive holding Pics is unplugged.
    QVERIFY(QDir().rename(p.dir.filePath(QStringLiteral("data/Pics")),
                          p.dir.filePath(QStringLiteral("unplugged"))));
    p.dir.writeFile(QStringLiteral("data/Docs/new.txt"), "new letter");
    QCOMPARE(p.run(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(
        log.contains(" - Folder not found: " + p.dir.filePath(QStringLiteral("data/Pics")).toUtf8() + "\r\n"),
        log.constData());
    // The log says which archive keeps the missing folder's files.
    QVERIFY(log.contains(" - Previous backup "));
    QVERIFY(holds(p.entries(p.archive(picsArchive)), p, QStringLiteral("data/Pics/p.txt")));
    const QString docsArchive =
        extra.contains("each_folder") ? QStringLiteral("Quoralis_Docs.zip") : picsArchive;
    QVERIFY(holds(p.entries(p.archive(docsArchive)), p, QStringLiteral("data/Docs/new.txt")));
}

void TestUnattendedFailures::onlyFolderMissing() {
    InstalledProgram p;
    p.settings("del_prev=1", {QStringLiteral("data/Gone")});
    QCOMPARE(p.run(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Folder not found: "), log.constData());
    QVERIFY(log.contains(" - No files for backup\r\n"));
}

void TestUnattendedFailures::missingFolderKeepsItsFilesInTheArchiveItShares() {
    // Two folders of one name go into one archive; with one of them gone, the archive made for
    // the other must not replace what it holds of the missing one.
    InstalledProgram p;
    p.dir.writeFile(QStringLiteral("data/x/Docs/one.txt"), "one");
    p.dir.writeFile(QStringLiteral("data/y/Docs/two.txt"), "two");
    p.settings("del_prev=1\neach_folder=1", {QStringLiteral("data/x/Docs"), QStringLiteral("data/y/Docs")});
    const QString archive = QStringLiteral("Quoralis_Docs.zip");
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(holds(p.entries(p.archive(archive)), p, QStringLiteral("data/x/Docs/one.txt")));
    QVERIFY(
        QDir().rename(p.dir.filePath(QStringLiteral("data/x")), p.dir.filePath(QStringLiteral("unplugged"))));
    p.dir.writeFile(QStringLiteral("data/y/Docs/three.txt"), "three");
    QCOMPARE(p.run(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Previous backup kept and updated, one of its folders is missing: "),
             log.constData());
    const QStringList entries = p.entries(p.archive(archive));
    QVERIFY2(holds(entries, p, QStringLiteral("data/x/Docs/one.txt")), qPrintable(entries.join(' ')));
    QVERIFY2(holds(entries, p, QStringLiteral("data/y/Docs/three.txt")), qPrintable(entries.join(' ')));
}

void TestUnattendedFailures::foldersSharingAnArchiveNameBothEndUpInIt_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("archive");
    QTest::newRow("same last name") << QStringLiteral("data/x/Docs") << QStringLiteral("data/y/Docs")
                                    << QStringLiteral("Quoralis_Docs.zip");
    QTest::newRow("one name ends in .zip")
        << QStringLiteral("data/p/x.zip") << QStringLiteral("data/q/x") << QStringLiteral("Quoralis_x.zip");
}

void TestUnattendedFailures::foldersSharingAnArchiveNameBothEndUpInIt() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, archive);
    InstalledProgram p;
    p.dir.writeFile(first + QStringLiteral("/one.txt"), "one");
    p.dir.writeFile(second + QStringLiteral("/two.txt"), "two");
    p.settings("del_prev=1\neach_folder=1", {first, second});
    for (int run = 1; run <= 2; ++run) {
        QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
        const QStringList entries = p.entries(p.archive(archive));
        QVERIFY2(holds(entries, p, first + QStringLiteral("/one.txt")), qPrintable(entries.join(' ')));
        QVERIFY2(holds(entries, p, second + QStringLiteral("/two.txt")), qPrintable(entries.join(' ')));
    }
}

void TestUnattendedFailures::changedOnlyDoesNotShrinkAReplacedArchive() {
    InstalledProgram p;
    p.dir.writeFile(QStringLiteral("data/Docs/a.txt"), "unchanged");
    p.dir.writeFile(QStringLiteral("data/Docs/b.txt"), "before");
    p.settings("del_prev=1\nnew_only=1", {QStringLiteral("data/Docs")});
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    p.dir.writeFile(QStringLiteral("data/Docs/b.txt"), "after, longer");
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QStringList entries = p.entries(p.archive());
    QVERIFY2(holds(entries, p, QStringLiteral("data/Docs/a.txt")), qPrintable(entries.join(' ')));
    QVERIFY(holds(entries, p, QStringLiteral("data/Docs/b.txt")));
    QVERIFY(p.lastLog().contains(" - Changed files only is not applied: "));
}

void TestUnattendedFailures::renamedFilesAreArchivedUnderTheirNewNames() {
    InstalledProgram p;
    p.dir.writeFile(QStringLiteral("data/Docs/a.txt"), "a");
    p.dir.writeFile(QStringLiteral("data/Docs/sub/b.txt"), "b");
    p.settings("new_only=1", {QStringLiteral("data/Docs")});
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(QFile::rename(p.dir.filePath(QStringLiteral("data/Docs/a.txt")),
                          p.dir.filePath(QStringLiteral("data/Docs/renamed.txt"))));
    QVERIFY(QDir().rename(p.dir.filePath(QStringLiteral("data/Docs/sub")),
                          p.dir.filePath(QStringLiteral("data/Docs/moved"))));
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QStringList entries = p.entries(p.archive());
    QVERIFY2(holds(entries, p, QStringLiteral("data/Docs/renamed.txt")), qPrintable(entries.join(' ')));
    QVERIFY(holds(entries, p, QStringLiteral("data/Docs/moved/b.txt")));
    // A deleted archive is made again whole, not from the changes alone.
    QVERIFY(QFile::remove(p.archive()));
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY(holds(p.entries(p.archive()), p, QStringLiteral("data/Docs/renamed.txt")));
}

void TestUnattendedFailures::changedOnlyAddsBackAnEntryRemovedFromTheArchive() {
    InstalledProgram p;
    p.dir.writeFile(QStringLiteral("data/Docs/a.txt"), "a");
    p.dir.writeFile(QStringLiteral("data/Docs/b.txt"), "b");
    p.settings("new_only=1", {QStringLiteral("data/Docs")});
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    // Nothing changed: the archive is left exactly as it was.
    QFile before(p.archive());
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray firstBytes = before.readAll();
    before.close();
    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    QVERIFY2(p.lastLog().contains(" - No files for backup\r\n"), p.lastLog().constData());
    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), firstBytes);
    before.close();

    // Another program takes a.txt's entry out of the archive; the file itself is unchanged.
    QString removed = p.dir.filePath(QStringLiteral("data/Docs/a.txt"));
    while (removed.startsWith(QLatin1Char('/')))
        removed.remove(0, 1);
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile\n"
                                 "src = zipfile.ZipFile(sys.argv[1])\n"
                                 "dst = zipfile.ZipFile(sys.argv[1] + '.new', 'w')\n"
                                 "for info in src.infolist():\n"
                                 "    if info.filename != sys.argv[2]:\n"
                                 "        dst.writestr(info, src.read(info))\n"
                                 "dst.close()\n"),
                  p.archive(), removed});
    QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
    QVERIFY(QFile::remove(p.archive()));
    QVERIFY(QFile::rename(p.archive() + QStringLiteral(".new"), p.archive()));
    QVERIFY(!holds(p.entries(p.archive()), p, QStringLiteral("data/Docs/a.txt")));

    QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    const QStringList entries = p.entries(p.archive());
    QVERIFY2(holds(entries, p, QStringLiteral("data/Docs/a.txt")), qPrintable(entries.join(' ')));
    QVERIFY(holds(entries, p, QStringLiteral("data/Docs/b.txt")));
}

void TestUnattendedFailures::archiveThatCannotBeMadeIsReported_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("locked by another program") << QStringLiteral("lock") << QByteArray(" - File is in use: ");
    QTest::newRow("folder in its place")
        << QStringLiteral("folder") << QByteArray("a folder has the archive's name");
    QTest::newRow("read-only archive")
        << QStringLiteral("read-only") << QByteArray("the archive is read-only");
    QTest::newRow("immutable archive")
        << QStringLiteral("immutable") << QByteArray("the archive is read-only");
    QTest::newRow("destination mounted read-only")
        << QStringLiteral("read-only mount") << QByteArray("the destination is read-only");
    QTest::newRow("named pipe") << QStringLiteral("pipe") << QByteArray("is not a file");
    QTest::newRow("link to a document") << QStringLiteral("link") << QByteArray("no ZIP archive");
}

void TestUnattendedFailures::archiveThatCannotBeMadeIsReported() {
    QFETCH(QString, obstacle);
    QFETCH(QByteArray, reason);
    InstalledProgram p;
    p.dir.writeFile(QStringLiteral("data/Docs/a.txt"), "letter");
    p.settings("", {QStringLiteral("data/Docs")});
    QVERIFY(QDir().mkpath(p.destination()));
    const QString archive = p.archive();
    const QByteArray document = "my own notes, not an archive";
    int lockFd = -1;
    std::unique_ptr<TestMount> mount;
    if (obstacle == QStringLiteral("lock") || obstacle.startsWith(QStringLiteral("read-only")) ||
        obstacle == QStringLiteral("immutable")) {
        QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
    }
    const QByteArray before = p.dir.readFile(QStringLiteral("backups/Quoralis.zip"));
    if (obstacle == QStringLiteral("lock")) {
        lockFd = ::open(QFile::encodeName(archive).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(lockFd >= 0);
        QCOMPARE(::flock(lockFd, LOCK_EX), 0);
    } else if (obstacle == QStringLiteral("folder")) {
        QVERIFY(QDir().mkpath(archive));
    } else if (obstacle == QStringLiteral("read-only")) {
        QVERIFY(QFile::setPermissions(archive, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    } else if (obstacle == QStringLiteral("immutable")) {
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), archive}) != 0)
            QSKIP("cannot make a file immutable here");
    } else if (obstacle == QStringLiteral("read-only mount")) {
        mount = std::make_unique<TestMount>(TestMount::Kind::ReadOnlyBind, p.destination());
        if (!mount->isActive())
            QSKIP(qPrintable(mount->error()));
    } else if (obstacle == QStringLiteral("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(archive).constData(), 0600), 0);
    } else if (obstacle == QStringLiteral("link")) {
        const QString mine = p.dir.writeFile(QStringLiteral("notes.txt"), document);
        QVERIFY(QFile::link(mine, archive));
    }
    const int status = p.run();
    if (obstacle == QStringLiteral("immutable"))
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), archive});
    if (lockFd >= 0)
        ::close(lockFd);
    mount.reset();
    QCOMPARE(status, int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(reason), log.constData());
    if (obstacle != QStringLiteral("lock"))
        QVERIFY(!log.contains(" - File is in use: "));
    QVERIFY(!log.contains(" - Backup created: "));
    QVERIFY(lockFilesIn(p.destination()).isEmpty());
    if (obstacle == QStringLiteral("link")) {
        QCOMPARE(p.dir.readFile(QStringLiteral("notes.txt")), document);
        QCOMPARE(QFileInfo(archive).symLinkTarget(), p.dir.filePath(QStringLiteral("notes.txt")));
        QCOMPARE(p.destinationFiles(), QStringList(QStringLiteral("Quoralis.zip")));
    } else if (!before.isEmpty()) {
        QCOMPARE(p.dir.readFile(QStringLiteral("backups/Quoralis.zip")), before);
    }
}

void TestUnattendedFailures::secondRunAtTheSameTimeIsReported() {
    QTemporaryDir runtime;
    InstalledProgram first;
    for (int i = 0; i < 3; ++i)
        first.dir.writeFile(QStringLiteral("data/Docs/big%1.bin").arg(i), incompressibleBytes(16 << 20));
    first.settings("", {QStringLiteral("data/Docs")});
    InstalledProgram second;
    second.settings("", {first.dir.filePath(QStringLiteral("data/Docs"))}, first.destination());
    first.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    second.environment = first.environment;
    first.start();
    // The first run holds the archive once its lock is there; it is held still meanwhile.
    QVERIFY(QTest::qWaitFor([&] { return !lockFilesIn(runtime.path()).isEmpty(); }, 60000));
    ::kill(pid_t(first.process.processId()), SIGSTOP);
    const int secondStatus = second.run();
    ::kill(pid_t(first.process.processId()), SIGCONT);
    QVERIFY(first.endsByItself());
    QCOMPARE(secondStatus, int(ExitStatus::BackupIncomplete));
    const QByteArray log = second.lastLog();
    QVERIFY2(log.contains(" - File is in use: "), log.constData());
    QCOMPARE(first.process.exitCode(), int(ExitStatus::AllArchivesMade));
    QVERIFY(first.lastLog().contains(" - Backup created: "));
    QCOMPARE(first.destinationFiles(), QStringList(QStringLiteral("Quoralis.zip")));
}

void TestUnattendedFailures::endedRunLeavesNoLockFile_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestUnattendedFailures::endedRunLeavesNoLockFile() {
    QFETCH(int, signal);
    QTemporaryDir runtime;
    InstalledProgram p;
    for (int i = 0; i < 4; ++i)
        p.dir.writeFile(QStringLiteral("data/Docs/big%1.bin").arg(i), incompressibleBytes(24 << 20));
    p.dir.writeFile(QStringLiteral("backups/keep.txt"), "not an archive");
    p.settings("", {QStringLiteral("data/Docs")});
    p.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    p.start();
    QVERIFY(QTest::qWaitFor([&] { return !lockFilesIn(runtime.path()).isEmpty(); }, 60000));
    ::kill(pid_t(p.process.processId()), signal);
    QVERIFY(p.process.waitForFinished(30000));
    if (signal == SIGTERM) {
        QCOMPARE(p.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.process.exitCode(), int(ExitStatus::BackupIncomplete));
        QVERIFY(lockFilesIn(runtime.path()).isEmpty());
    }
    QCOMPARE(p.destinationFiles(), QStringList(QStringLiteral("keep.txt")));
}

QTEST_GUILESS_MAIN(TestUnattendedFailures)
#include "tst_unattendedfailures.moc"
