// The guard that keeps one copy of the program per settings file, tried from outside as a
// scheduler, a desktop session, a second user and a crash try it: a scheduled start always makes
// its backup or says in its log and its status why it made none, and two copies never run on one
// settings file.
#include "app/exitstatus.h"
#include "app/singleinstance.h"
#include "app/starthandover.h"
#include "installedprogram.h"
#include "runningcopy.h"
#include "testmount.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSocket(const QString& path) {
    struct stat status {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &status) == 0 &&
           S_ISSOCK(status.st_mode);
}

constexpr const char* kForwarded = "Backup asked for by another start: /autoclose";

// The installed program with a folder to back up and a runtime folder of its own; its copies are
// started with the environment given.
struct GuardedProgram : InstalledProgram {
    GuardedProgram() {
        dir.writeFile(QStringLiteral("data/Docs/a.txt"), QByteArray(5000, 'a'));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        InstalledProgram::settings({}, {QStringLiteral("data/Docs")});
    }
    std::unique_ptr<RunningCopy> copy(const QProcessEnvironment& env) const {
        return std::make_unique<RunningCopy>(dir.path(), env);
    }
    // A desktop copy, once later starts can reach it.
    std::unique_ptr<RunningCopy> startDesktop(const QProcessEnvironment& env) {
        auto desktop = copy(env);
        desktop->start({});
        if (!QTest::qWaitFor([&] { return isSocket(socket()); }, 60'000))
            return nullptr;
        return desktop;
    }
    std::unique_ptr<RunningCopy> startDesktop() { return startDesktop(environment); }
    // A desktop copy whose add engine holds each job while writing, until the copy is ended;
    // heldSign() appears once it holds.
    std::unique_ptr<RunningCopy> startHoldingDesktop() {
        const QString engine = dir.filePath(QStringLiteral("dll/libZipDll.so"));
        if (!QFile::remove(engine) || !QFile::copy(QStringLiteral(HOLDING_ENGINE), engine))
            return nullptr;
        QProcessEnvironment holding = environment;
        holding.insert(QStringLiteral("QUORALIS_HOLD"), QStringLiteral("writing"));
        holding.insert(QStringLiteral("QUORALIS_HOLD_SIGN"), heldSign());
        return startDesktop(holding);
    }
    QString heldSign() const { return dir.filePath(QStringLiteral("engine-holds")); }
    // Where the running copy listens, as its lock file says.
    QString socket() const {
        QFile lock(dir.filePath(QStringLiteral(".Quoralis2005Config.ini.lock")));
        return lock.open(QIODevice::ReadOnly) ? QFile::decodeName(lock.readAll()) : QString();
    }
    int scheduledRun(const QProcessEnvironment& env) {
        auto scheduled = copy(env);
        scheduled->start({QStringLiteral("/autoclose")});
        return scheduled->endStatus();
    }
    int scheduledRun() { return scheduledRun(environment); }
    // The desktop copy is closed as the session ends; its log must show the backup it made for
    // the scheduled start.
    void closeAndCheckForwarded(RunningCopy& desktop) {
        desktop.signal(SIGTERM);
        QCOMPARE(desktop.endStatus(), int(ExitStatus::AllArchivesMade));
        const QByteArray log = lastLog();
        QVERIFY2(log.contains(kForwarded), log.constData());
        QVERIFY(log.contains(" - Backup created: "));
    }
    bool archiveMade() const { return !entries(archive()).isEmpty(); }

    QTemporaryDir runtime;
};

} // namespace

class TestGuardFromOutside : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void socketNameTakenByAFolder();
    void desktopCopyKilledDuringTheForwardedBackup();
    void stoppedDesktopCopy();
    void anotherUserHoldsTheNamesInASharedRuntimeFolder();
    void longTemporaryFolderWithoutRuntimeFolder();
    void startsWithAndWithoutRuntimeFolder();
    void readOnlyRuntimeFolder();
    void questionOpenInTheDesktopCopy();
    void waitingStartEnded();
};

void TestGuardFromOutside::socketNameTakenByAFolder() {
    GuardedProgram p;
    auto crashed = p.startDesktop();
    QVERIFY(crashed);
    const QString taken = p.socket();
    crashed->signal(SIGKILL);
    QCOMPARE(crashed->endStatus(), -2);
    QVERIFY(QFile::remove(taken));
    QVERIFY(QDir().mkdir(taken));

    auto desktop = p.startDesktop();
    QVERIFY(desktop);
    QVERIFY(p.socket() != taken);
    QCOMPARE(p.scheduledRun(), int(ExitStatus::AllArchivesMade));
    QVERIFY(p.archiveMade());
    p.closeAndCheckForwarded(*desktop);
}

void TestGuardFromOutside::desktopCopyKilledDuringTheForwardedBackup() {
    GuardedProgram p;
    const QString held = p.heldSign();
    auto desktop = p.startHoldingDesktop();
    QVERIFY(desktop);

    auto scheduled = p.copy(p.environment);
    scheduled->start({QStringLiteral("/autoclose")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(held), 60'000);
    desktop->signal(SIGKILL);
    QCOMPARE(desktop->endStatus(), -2);

    // The scheduled start makes the backup itself, and keeps its own log.
    QCOMPARE(scheduled->endStatus(), int(ExitStatus::AllArchivesMade));
    QVERIFY(p.archiveMade());
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(" - Backup created: "), log.constData());
    QVERIFY(!log.contains(kForwarded));
}

void TestGuardFromOutside::stoppedDesktopCopy() {
    GuardedProgram p;
    auto desktop = p.startDesktop();
    QVERIFY(desktop);
    desktop->signal(SIGSTOP);

    auto scheduled = p.copy(p.environment);
    scheduled->start({QStringLiteral("/autoclose")});
    const int status = scheduled->endStatus();
    desktop->signal(SIGCONT);
    QCOMPARE(status, int(ExitStatus::BackupIncomplete));
    const QByteArray log = p.lastLog();
    QVERIFY2(log.contains(StartHandOver::notAnsweredLine), log.constData());
    QVERIFY(!QFile::exists(p.archive()));

    // Woken up, the desktop copy makes no backup for the start that gave up.
    desktop->signal(SIGTERM);
    QCOMPARE(desktop->endStatus(), int(ExitStatus::AllArchivesMade));
    QVERIFY2(!desktop->seen().contains(kForwarded), desktop->seen().constData());
    QVERIFY(!QFile::exists(p.archive()));
}

void TestGuardFromOutside::anotherUserHoldsTheNamesInASharedRuntimeFolder() {
    if (::geteuid() != 0)
        QSKIP("needs root to act as another user");
    const passwd* other = ::getpwnam("nobody");
    QVERIFY(other);
    GuardedProgram p;
    QTemporaryDir shared;
    QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
    const std::filesystem::path settings =
        p.dir.filePath(QStringLiteral("Quoralis2005Config.ini")).toStdString();
    const QString key = SingleInstance::keyFor(settings);
    // The other user takes every name the program could predict in the shared folder: a lock file
    // named after the settings file, held, and sockets listening where the program's would be.
    const QString script = QStringLiteral(
        "import fcntl, os, socket, sys, time\n"
        "shared, key, uid = sys.argv[1], sys.argv[2], sys.argv[3]\n"
        "lock = open(os.path.join(shared, key + '.lock'), 'w')\n"
        "fcntl.flock(lock, fcntl.LOCK_EX)\n"
        "own = os.path.join(shared, 'quoralis2005-' + uid)\n"
        "os.mkdir(own, 0o777)\n"
        "os.chmod(own, 0o777)\n"
        "servers = []\n"
        "for path in (os.path.join(shared, key + '.socket'), os.path.join(own, key[-16:] + '.socket')):\n"
        "    s = socket.socket(socket.AF_UNIX)\n"
        "    s.bind(path)\n"
        "    os.chmod(path, 0o777)\n"
        "    s.listen(5)\n"
        "    servers.append(s)\n"
        "print('holding', flush=True)\n"
        "time.sleep(600)\n");
    QProcess squatter;
    squatter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    squatter.start(QStringLiteral("setpriv"),
                   {QStringLiteral("--reuid=%1").arg(other->pw_uid),
                    QStringLiteral("--regid=%1").arg(other->pw_gid), QStringLiteral("--clear-groups"),
                    QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"), script, shared.path(), key,
                    QString::number(::geteuid())});
    QVERIFY(squatter.waitForReadyRead(30'000));
    QCOMPARE(squatter.readLine().trimmed(), QByteArray("holding"));

    QProcessEnvironment env = p.environment;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), shared.path());
    QCOMPARE(p.scheduledRun(env), int(ExitStatus::AllArchivesMade));
    QVERIFY(p.archiveMade());
    QVERIFY2(p.lastLog().contains(" - Backup created: "), p.lastLog().constData());

    // A desktop copy in the same shared folder is reached by the next scheduled start.
    QVERIFY(QFile::remove(p.archive()));
    auto desktop = p.startDesktop(env);
    QVERIFY(desktop);
    QCOMPARE(p.scheduledRun(env), int(ExitStatus::AllArchivesMade));
    QVERIFY(p.archiveMade());
    p.closeAndCheckForwarded(*desktop);
    squatter.kill();
    squatter.waitForFinished();
}

void TestGuardFromOutside::longTemporaryFolderWithoutRuntimeFolder() {
    GuardedProgram p;
    QTemporaryDir temporary;
    const QString longFolder = temporary.filePath(QString(120, QLatin1Char('t')));
    QVERIFY(QDir().mkpath(longFolder));
    QProcessEnvironment env = p.environment;
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("TMPDIR"), longFolder);
    auto desktop = p.startDesktop(env);
    QVERIFY(desktop);
    QVERIFY(QFile::encodeName(p.socket()).size() <= 103);
    QCOMPARE(p.scheduledRun(env), int(ExitStatus::AllArchivesMade));
    QVERIFY2(p.archiveMade(), desktop->seen().constData());
    p.closeAndCheckForwarded(*desktop);
}

void TestGuardFromOutside::startsWithAndWithoutRuntimeFolder() {
    GuardedProgram p;
    auto desktop = p.startDesktop();
    QVERIFY(desktop);
    // As cron starts it: no runtime folder.
    QProcessEnvironment cron = p.environment;
    cron.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    QCOMPARE(p.scheduledRun(cron), int(ExitStatus::AllArchivesMade));
    QVERIFY(p.archiveMade());
    p.closeAndCheckForwarded(*desktop);
}

void TestGuardFromOutside::readOnlyRuntimeFolder() {
    GuardedProgram p;
    TestMount mount(TestMount::Kind::ReadOnlyTmpfs, p.runtime.path());
    if (!mount.isActive())
        QSKIP(qPrintable(mount.error()));
    auto desktop = p.startDesktop();
    QVERIFY(desktop);
    QCOMPARE(p.scheduledRun(), int(ExitStatus::AllArchivesMade));
    QVERIFY(p.archiveMade());
    p.closeAndCheckForwarded(*desktop);
}

void TestGuardFromOutside::questionOpenInTheDesktopCopy() {
    GuardedProgram p;
    const QString outdated = p.dir.writeFile(QStringLiteral("backups/Quoralis_old.zip"), "old");
    QFile old(outdated);
    QVERIFY(old.open(QIODevice::ReadWrite));
    QVERIFY(old.setFileTime(QDateTime::currentDateTime().addDays(-40), QFileDevice::FileModificationTime));
    old.close();
    p.settings("clean_backups=1\nmulti_archive=1", {QStringLiteral("data/Docs")});
    auto desktop = p.startDesktop();
    QVERIFY(desktop);

    // Each forwarded backup is answered when it has been made, though the question about the
    // outdated archive that follows it stays open in the desktop copy.
    for (int start = 1; start <= 2; ++start) {
        QCOMPARE(p.scheduledRun(), int(ExitStatus::AllArchivesMade));
        QVERIFY(desktop->waitForLine("Backup created: ", start));
    }
    QVERIFY(QFile::exists(outdated));
    // With the question open, the end of the session still ends the program.
    desktop->signal(SIGTERM);
    const int ended = desktop->endStatus(30'000);
    QVERIFY2(ended == int(ExitStatus::AllArchivesMade), desktop->seen().constData());
    const QByteArray log = p.lastLog();
    QCOMPARE(log.count(kForwarded), 2);
}

void TestGuardFromOutside::waitingStartEnded() {
    GuardedProgram p;
    const QString held = p.heldSign();
    auto desktop = p.startHoldingDesktop();
    QVERIFY(desktop);

    auto first = p.copy(p.environment);
    first->start({QStringLiteral("/autoclose")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(held), 60'000);
    auto waiting = p.copy(p.environment);
    waiting->start({QStringLiteral("/autoclose")});
    QVERIFY2(desktop->waitForLine("Another start asks for a backup: /autoclose", 2),
             desktop->seen().constData());
    waiting->signal(SIGTERM);
    QCOMPARE(waiting->endStatus(), int(ExitStatus::BackupIncomplete));

    // The held backup goes on and ends; the start that was ended gets none.
    QVERIFY(QFile::remove(held));
    QCOMPARE(first->endStatus(), int(ExitStatus::AllArchivesMade));
    QVERIFY(desktop->waitForLine("A start that asked for a backup has gone: /autoclose"));
    desktop->signal(SIGTERM);
    QCOMPARE(desktop->endStatus(), int(ExitStatus::AllArchivesMade));
    const QByteArray log = p.lastLog();
    QCOMPARE(log.count(kForwarded), 1);
    QCOMPARE(log.count(" - Backup created: "), 1);
}

QTEST_GUILESS_MAIN(TestGuardFromOutside)
#include "tst_guardfromoutside.moc"
