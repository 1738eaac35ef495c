#include "app/exitstatus.h"
#include "incompressible.h"
#include "installedprogram.h"
#include "programwithdocs.h"
#include "testmount.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

namespace {

void makeOld(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-40), QFileDevice::FileModificationTime));
}

} // namespace

// "/autoclose" runs of the built program that go wrong: each ends by itself, leaves its log
// file and tells the scheduler by its exit status.
class TestUnattendedRuns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noDestination();
    void readOnlyDestination();
    void fullDestination();
    void damagedArchive();
    void outdatedArchiveIsKept();
    void terminationDuringARun();
    void terminationWhileTheArchiveIsClosed();
    void endRequestsOfEveryKindDuringARun();
};

void TestUnattendedRuns::noDestination() {
    ProgramWithDocs p;
    p.dir.writeFile(
        QStringLiteral("Quoralis2005Config.ini"),
        "[settings]\nkeep_log=1\nauto_check=0\ndestination=\n[folders]\nfolder_count=1\nfolder_0=" +
            p.dir.filePath(QStringLiteral("data/Docs")).toUtf8() + "\n");
    p.start();
    QVERIFY(p.endsByItself());
    QCOMPARE(p.process.exitCode(), int(ExitStatus::BackupNotMade));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Question: No destination selected Choose where backups go now?\r\n"),
             log.constData());
    QVERIFY(log.contains(" - Closing Quoralis2005 v."));
}

void TestUnattendedRuns::readOnlyDestination() {
    ProgramWithDocs p;
    TestMount mount(TestMount::Kind::ReadOnlyTmpfs, p.destination());
    if (!mount.isActive())
        QSKIP(qPrintable(mount.error()));
    p.settings();
    p.start();
    QVERIFY(p.endsByItself());
    QCOMPARE(p.process.exitCode(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Backup NOT created: "), log.constData());
    QVERIFY(log.contains(" - Notice: "));
}

void TestUnattendedRuns::fullDestination() {
    ProgramWithDocs p;
    TestMount mount(TestMount::Kind::SmallTmpfs, p.destination(), 64 * 1024);
    if (!mount.isActive())
        QSKIP(qPrintable(mount.error()));
    p.dir.writeFile(QStringLiteral("data/Docs/big.bin"), incompressibleBytes(1 << 20));
    p.settings();
    p.start();
    QVERIFY(p.endsByItself());
    QCOMPARE(p.process.exitCode(), int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Backup NOT created: "), log.constData());
    // Nothing half-written is left on the full disk.
    QCOMPARE(QDir(p.destination()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestUnattendedRuns::damagedArchive() {
    ProgramWithDocs p;
    const QByteArray damaged = "PK\x03\x04 this was an archive once" + incompressibleBytes(3000);
    p.dir.writeFile(QStringLiteral("backups/Quoralis.zip"), damaged);
    p.settings();
    p.start();
    QVERIFY(p.endsByItself());
    // The engine may make a new archive in place of the damaged one, or give up on it; the
    // exit status says which, and the log agrees.
    const QByteArray log = p.lastLog();
    const bool created = log.contains(" - Backup created: ");
    QVERIFY2(created != log.contains(" - Backup NOT created: "), log.constData());
    QCOMPARE(p.process.exitCode(), int(created ? ExitStatus::AllArchivesMade : ExitStatus::BackupIncomplete));
    if (!created)
        QCOMPARE(p.dir.readFile(QStringLiteral("backups/Quoralis.zip")), damaged);
}

void TestUnattendedRuns::outdatedArchiveIsKept() {
    ProgramWithDocs p;
    const QString outdated = p.dir.writeFile(QStringLiteral("backups/Quoralis_old.zip"), "old");
    makeOld(outdated);
    p.settings("clean_backups=1\nmulti_archive=1");
    p.start();
    QVERIFY(p.endsByItself());
    // The backup was made; the question about the old archive went unanswered.
    QCOMPARE(p.process.exitCode(), int(ExitStatus::AllArchivesMade));
    QVERIFY(QFile::exists(outdated));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Backup created: "), log.constData());
    QVERIFY(log.contains(" - Question: The following 1 archives are older than 30 days:"));
    QVERIFY(log.contains(" - No answer: taken as No\r\n"));
}

void TestUnattendedRuns::terminationDuringARun() {
    ProgramWithDocs p;
    const QString previous = p.dir.writeFile(QStringLiteral("backups/keep.txt"), "not an archive");
    p.settings();
    p.holdEngineAt(QStringLiteral("writing"));
    p.start();
    p.terminateWhenHeld();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(p.process.waitForFinished(30000));
    QCOMPARE(p.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.process.exitCode(), int(ExitStatus::BackupIncomplete));
    // Neither the half-written archive nor its temporary or lock file is left.
    QCOMPARE(QDir(p.destination()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("keep.txt")));
    QVERIFY(QFile::exists(previous));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - The session is ending: closing Quoralis2005\r\n"), log.constData());
    QVERIFY(log.contains(" - Backup cancelled: the program is closing\r\n"));
    QVERIFY(log.contains(" - Backup cancelled, not created: "));
    QVERIFY(!log.contains("ZIP Error"));
    QVERIFY(!log.contains("Backup created: "));
}

void TestUnattendedRuns::terminationWhileTheArchiveIsClosed() {
    ProgramWithDocs p;
    p.settings();
    p.holdEngineAt(QStringLiteral("finishing"));
    p.start();
    p.terminateWhenHeld();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(p.process.waitForFinished(30000));
    QCOMPARE(p.process.exitStatus(), QProcess::NormalExit);
    // The request came too late to stop the archive: it was made, and the status says so.
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Backup cancelled: the program is closing\r\n"), log.constData());
    QVERIFY(log.contains(" - Backup created: "));
    QCOMPARE(p.process.exitCode(), int(ExitStatus::AllArchivesMade));
    QCOMPARE(QDir(p.destination()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("Quoralis.zip")));
}

// Hang-up, interrupt and terminate come one after the other while the run works: the first
// cancels it, the others change nothing, and the program ends by itself every time.
void TestUnattendedRuns::endRequestsOfEveryKindDuringARun() {
    for (int round = 0; round < 3; ++round) {
        ProgramWithDocs p;
        p.settings();
        p.holdEngineAt(QStringLiteral("writing"));
        p.start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(p.holdSign()) || p.process.state() != QProcess::Running,
                                 60000);
        QVERIFY2(QFile::exists(p.holdSign()), "the program ended before the engine held its job");
        const pid_t pid = pid_t(p.process.processId());
        for (const int request : {SIGHUP, SIGINT, SIGTERM}) {
            if (p.process.state() == QProcess::NotRunning)
                break;
            ::kill(pid, request);
            p.process.waitForFinished(30);
        }
        if (p.process.state() != QProcess::NotRunning)
            QVERIFY(p.process.waitForFinished(30000));
        QCOMPARE(p.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.process.exitCode(), int(ExitStatus::BackupIncomplete));
        QVERIFY2(p.lastLog().contains(" - Backup cancelled, not created: "), p.lastLog().constData());
    }
}

QTEST_GUILESS_MAIN(TestUnattendedRuns)
#include "tst_unattendedruns.moc"
