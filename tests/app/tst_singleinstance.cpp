#include "app/exitstatus.h"
#include "app/singleinstance.h"
#include "testmount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using Role = SingleInstance::Role;
using Outcome = SingleInstance::Outcome;

class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void oneFirstCopyPerSettingsFile();
    void interactiveStartBringsTheFirstCopyForward_data();
    void interactiveStartBringsTheFirstCopyForward();
    void unattendedStartEndsWithTheStatusOfItsBackup_data();
    void unattendedStartEndsWithTheStatusOfItsBackup();
    void firstCopyGoneBeforeAnsweringLeavesTheStartToBackUp();
    void unattendedFirstCopyMakesTheStartWait();
    void waitingStartAsksAgainWhenTheFirstCopyBecomesInteractive();
    void firstCopyEndingBeforeTheHandOverLeavesTheStartFirst();

    void killedFirstCopyBlocksNothing();
    void killedFirstCopyLeavesTheWaitingStartToBackUp();
    void startInAnotherProcessHandsItsCommandLineOver();

    void lockIsFoundWhateverTheRuntimeFolder_data();
    void lockIsFoundWhateverTheRuntimeFolder();
    void socketLivesInAFolderOnlyTheUserCanWrite_data();
    void socketLivesInAFolderOnlyTheUserCanWrite();
    void anotherUsersFilesAreNeverUsed();
    void withdrawnStartGetsNoBackup();
    void readOnlySettingsFolder();

private:
    std::filesystem::path settingsFile(const char* name = "Quoralis2005Config.ini") const;
    QString socketFile() const;
    static QStringList args(const char* list);
    // Starts the helper process and returns once it says which copy it is.
    std::unique_ptr<QProcess> startChild(const QStringList& childArguments, QByteArray* firstLine);

    QTemporaryDir m_runtime;
    std::unique_ptr<QTemporaryDir> m_program;
};

void TestSingleInstance::initTestCase() {
    QVERIFY(m_runtime.isValid());
    // The lock and socket of a copy that really runs on this machine stay out of reach.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

void TestSingleInstance::init() {
    m_program = std::make_unique<QTemporaryDir>();
    QVERIFY(m_program->isValid());
}

std::filesystem::path TestSingleInstance::settingsFile(const char* name) const {
    return std::filesystem::path(QFile::encodeName(m_program->path()).toStdString()) / name;
}

QString TestSingleInstance::socketFile() const {
    // The first copy says in its lock file where it listens.
    QFile lock(QFile::decodeName(SingleInstance::lockFileFor(settingsFile()).c_str()));
    return lock.open(QIODevice::ReadOnly) ? QFile::decodeName(lock.readAll()) : QString();
}

QStringList TestSingleInstance::args(const char* list) {
    return QString::fromUtf8(list).split(u' ', Qt::SkipEmptyParts);
}

std::unique_ptr<QProcess> TestSingleInstance::startChild(const QStringList& childArguments,
                                                         QByteArray* firstLine) {
    auto child = std::make_unique<QProcess>();
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QStringLiteral(SINGLEINSTANCECHILD),
                 QStringList{QFile::decodeName(settingsFile().c_str())} + childArguments);
    if (!child->waitForStarted(30'000))
        return nullptr;
    // Events go on meanwhile: the child may be talking to a first copy in this process.
    if (!QTest::qWaitFor([&child] { return child->canReadLine() || child->state() != QProcess::Running; },
                         30'000))
        return nullptr;
    *firstLine = child->readLine().trimmed();
    return child;
}

void TestSingleInstance::oneFirstCopyPerSettingsFile() {
    SingleInstance first;
    SingleInstance second;
    SingleInstance other;
    QCOMPARE(first.acquire(settingsFile()), Role::Primary);
    // Another spelling of the same file is the same file.
    QCOMPARE(second.acquire(settingsFile("sub/../Quoralis2005Config.ini")), Role::Secondary);
    QCOMPARE(other.acquire(settingsFile("Other.ini")), Role::Primary);
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_program->path()));
    SingleInstance relative;
    const Role relativeRole = relative.acquire("Quoralis2005Config.ini");
    QDir::setCurrent(before);
    QCOMPARE(relativeRole, Role::Secondary);
    QVERIFY(QFile::exists(socketFile()));
}

void TestSingleInstance::interactiveStartBringsTheFirstCopyForward_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("/auto") << args("/auto");
    QTest::newRow("/auto /minimize") << args("/auto /minimize");
    QTest::newRow("other case") << args("/AUTOCLOSE");
    QTest::newRow("switch in second place") << args("/minimize /autoclose");
}

void TestSingleInstance::interactiveStartBringsTheFirstCopyForward() {
    QFETCH(QStringList, arguments);
    SingleInstance primary;
    SingleInstance secondary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    QSignalSpy activation(&primary, &SingleInstance::activationRequested);
    QSignalSpy backup(&primary, &SingleInstance::backupRequested);

    const SingleInstance::Forwarded forwarded = secondary.forward(arguments);
    QCOMPARE(forwarded.outcome, Outcome::Handed);
    QCOMPARE(forwarded.exitStatus, 0);
    QTRY_COMPARE(activation.count(), 1);
    QCOMPARE(activation.at(0).at(0).toStringList(), arguments);
    QCOMPARE(backup.count(), 0);
}

void TestSingleInstance::unattendedStartEndsWithTheStatusOfItsBackup_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("/autoclose") << args("/autoclose");
    QTest::newRow("/autoshutdown /minimize") << args("/autoshutdown /minimize");
}

void TestSingleInstance::unattendedStartEndsWithTheStatusOfItsBackup() {
    QFETCH(QStringList, arguments);
    SingleInstance primary;
    SingleInstance secondary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    QSignalSpy activation(&primary, &SingleInstance::activationRequested);
    QStringList received;
    connect(&primary, &SingleInstance::backupRequested, this,
            [&received](const QStringList& arguments, const SingleInstanceReply& reply) {
                received = arguments;
                // The backup runs later, from the event loop; the second answer counts for nothing.
                QTimer::singleShot(0, [reply] {
                    reply.send(ExitStatus::ShutdownRefused);
                    reply.send(ExitStatus::AllArchivesMade);
                });
            });

    const SingleInstance::Forwarded forwarded = secondary.forward(arguments);
    QCOMPARE(forwarded.outcome, Outcome::Finished);
    QCOMPARE(forwarded.exitStatus, int(ExitStatus::ShutdownRefused));
    QCOMPARE(received, arguments);
    QCOMPARE(activation.count(), 0);
}

void TestSingleInstance::firstCopyGoneBeforeAnsweringLeavesTheStartToBackUp() {
    auto primary = std::make_unique<SingleInstance>();
    SingleInstance secondary;
    QCOMPARE(primary->acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    bool asked = false;
    connect(primary.get(), &SingleInstance::backupRequested, this,
            [&](const QStringList&, const SingleInstanceReply&) {
                asked = true;
                QTimer::singleShot(0, this, [&primary] { primary.reset(); });
            });

    // The backup it accepted will not be made there: the start makes it as the first copy now.
    const SingleInstance::Forwarded forwarded = secondary.forward(args("/autoclose"));
    QVERIFY(asked);
    QCOMPARE(forwarded.outcome, Outcome::BecamePrimary);
    QCOMPARE(secondary.role(), Role::Primary);
}

void TestSingleInstance::unattendedFirstCopyMakesTheStartWait() {
    auto primary = std::make_unique<SingleInstance>();
    SingleInstance secondary;
    QCOMPARE(primary->acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    primary->setUnattendedRun(true);
    QSignalSpy backup(primary.get(), &SingleInstance::backupRequested);

    QCOMPARE(secondary.forward(args("/autoshutdown")).outcome, Outcome::PrimaryUnattended);
    QCOMPARE(backup.count(), 0);
    bool primaryEnded = false;
    QTimer::singleShot(0, this, [&] {
        QCOMPARE(secondary.role(), Role::Secondary);
        primary.reset();
        primaryEnded = true;
    });
    QCOMPARE(secondary.waitForPrimaryToEnd(), SingleInstance::Wait::BecamePrimary);
    QVERIFY(primaryEnded);
    QCOMPARE(secondary.role(), Role::Primary);

    // The copy that waited now takes the starts of others.
    SingleInstance third;
    QSignalSpy activation(&secondary, &SingleInstance::activationRequested);
    QCOMPARE(third.acquire(settingsFile()), Role::Secondary);
    QCOMPARE(third.forward({}).outcome, Outcome::Handed);
    QTRY_COMPARE(activation.count(), 1);
}

void TestSingleInstance::waitingStartAsksAgainWhenTheFirstCopyBecomesInteractive() {
    SingleInstance primary;
    SingleInstance secondary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    primary.setUnattendedRun(true);
    QCOMPARE(secondary.forward(args("/autoclose")).outcome, Outcome::PrimaryUnattended);

    // The user stopped the pending shutdown: the first copy stays, as an interactive one.
    QTimer::singleShot(0, &primary, [&primary] { primary.setUnattendedRun(false); });
    QCOMPARE(secondary.waitForPrimaryToEnd(), SingleInstance::Wait::PrimaryReady);
    QCOMPARE(secondary.role(), Role::Secondary);
    connect(&primary, &SingleInstance::backupRequested, this,
            [](const QStringList&, const SingleInstanceReply& reply) {
                reply.send(ExitStatus::BackupIncomplete);
            });
    const SingleInstance::Forwarded again = secondary.forward(args("/autoclose"));
    QCOMPARE(again.outcome, Outcome::Finished);
    QCOMPARE(again.exitStatus, int(ExitStatus::BackupIncomplete));
}

void TestSingleInstance::firstCopyEndingBeforeTheHandOverLeavesTheStartFirst() {
    auto primary = std::make_unique<SingleInstance>();
    SingleInstance secondary;
    QCOMPARE(primary->acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    primary.reset();

    QCOMPARE(secondary.forward(args("/autoclose")).outcome, Outcome::BecamePrimary);
    QCOMPARE(secondary.role(), Role::Primary);
    QVERIFY(QFile::exists(socketFile()));
}

void TestSingleInstance::killedFirstCopyBlocksNothing() {
    QByteArray said;
    const auto child = startChild({QStringLiteral("hold")}, &said);
    QVERIFY(child);
    QCOMPARE(said, "primary");
    SingleInstance whileItRuns;
    QCOMPARE(whileItRuns.acquire(settingsFile()), Role::Secondary);

    child->kill();
    QTRY_COMPARE_WITH_TIMEOUT(child->state(), QProcess::NotRunning, 30'000);
    QCOMPARE(child->exitStatus(), QProcess::CrashExit);
    QVERIFY(QFile::exists(socketFile())); // left behind by the killed copy

    SingleInstance next;
    QCOMPARE(next.acquire(settingsFile()), Role::Primary);
    QSignalSpy activation(&next, &SingleInstance::activationRequested);
    QCOMPARE(whileItRuns.forward(args("/auto")).outcome, Outcome::Handed);
    QTRY_COMPARE(activation.count(), 1);
}

void TestSingleInstance::killedFirstCopyLeavesTheWaitingStartToBackUp() {
    QByteArray said;
    const auto child = startChild({QStringLiteral("hold")}, &said);
    QVERIFY(child);
    QCOMPARE(said, "primary");
    connect(child.get(), &QProcess::readyReadStandardOutput, this, [&child] {
        if (child->readAll().contains("backup /autoclose"))
            child->kill();
    });
    SingleInstance secondary;
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);

    const SingleInstance::Forwarded forwarded = secondary.forward(args("/autoclose"));
    QCOMPARE(forwarded.outcome, Outcome::BecamePrimary);
    QCOMPARE(secondary.role(), Role::Primary);
    QTRY_COMPARE_WITH_TIMEOUT(child->state(), QProcess::NotRunning, 30'000);
    QCOMPARE(child->exitStatus(), QProcess::CrashExit);
}

void TestSingleInstance::startInAnotherProcessHandsItsCommandLineOver() {
    SingleInstance primary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QSignalSpy activation(&primary, &SingleInstance::activationRequested);
    connect(
        &primary, &SingleInstance::backupRequested, this,
        [](const QStringList&, const SingleInstanceReply& reply) { reply.send(ExitStatus::BackupNotMade); });

    QByteArray said;
    auto interactive = startChild({QStringLiteral("forward"), QStringLiteral("/auto")}, &said);
    QVERIFY(interactive);
    QCOMPARE(said, QByteArray("outcome ") + QByteArray::number(int(Outcome::Handed)));
    QTRY_COMPARE_WITH_TIMEOUT(interactive->state(), QProcess::NotRunning, 30'000);
    QCOMPARE(interactive->exitCode(), 0);
    QTRY_COMPARE(activation.count(), 1);
    QCOMPARE(activation.at(0).at(0).toStringList(), args("/auto"));

    auto unattended = startChild({QStringLiteral("forward"), QStringLiteral("/autoclose")}, &said);
    QVERIFY(unattended);
    QCOMPARE(said, QByteArray("outcome ") + QByteArray::number(int(Outcome::Finished)));
    QTRY_COMPARE_WITH_TIMEOUT(unattended->state(), QProcess::NotRunning, 30'000);
    QCOMPARE(unattended->exitCode(), int(ExitStatus::BackupNotMade));
}

namespace {
// Sets an environment variable (or removes it, for an empty value) for the life of a test.
class EnvironmentChange {
public:
    EnvironmentChange(const char* name, const QByteArray& value)
        : m_name(name)
        , m_before(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name)) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentChange() {
        if (m_wasSet)
            qputenv(m_name, m_before);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_before;
    bool m_wasSet;
};
} // namespace

void TestSingleInstance::lockIsFoundWhateverTheRuntimeFolder_data() {
    QTest::addColumn<bool>("otherFolder");
    QTest::newRow("no runtime folder, as cron starts it") << false;
    QTest::newRow("another runtime folder") << true;
}

void TestSingleInstance::lockIsFoundWhateverTheRuntimeFolder() {
    QFETCH(bool, otherFolder);
    SingleInstance primary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QSignalSpy activation(&primary, &SingleInstance::activationRequested);
    QTemporaryDir other;
    const EnvironmentChange runtime("XDG_RUNTIME_DIR",
                                    otherFolder ? QFile::encodeName(other.path()) : QByteArray());

    SingleInstance secondary;
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    QCOMPARE(secondary.forward({}).outcome, Outcome::Handed);
    QTRY_COMPARE(activation.count(), 1);
}

void TestSingleInstance::socketLivesInAFolderOnlyTheUserCanWrite_data() {
    QTest::addColumn<bool>("runtimeFolder");
    QTest::newRow("runtime folder") << true;
    QTest::newRow("none, and a long temporary folder") << false;
}

void TestSingleInstance::socketLivesInAFolderOnlyTheUserCanWrite() {
    QFETCH(bool, runtimeFolder);
    QTemporaryDir temporary;
    const QString longFolder = temporary.filePath(QString(120, QLatin1Char('t')));
    QVERIFY(QDir().mkpath(longFolder));
    const EnvironmentChange runtime("XDG_RUNTIME_DIR",
                                    runtimeFolder ? QFile::encodeName(m_runtime.path()) : QByteArray());
    const EnvironmentChange temp("TMPDIR", QFile::encodeName(longFolder));

    SingleInstance primary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    const QByteArray socket = QFile::encodeName(socketFile());
    QVERIFY(!socket.isEmpty());
    QVERIFY2(socket.size() <= 103, socket.constData());
    if (runtimeFolder)
        QVERIFY2(socket.startsWith(QFile::encodeName(m_runtime.path())), socket.constData());
    struct stat folder {};
    QCOMPARE(::lstat(QFile::encodeName(QFileInfo(socketFile()).path()).constData(), &folder), 0);
    QVERIFY(S_ISDIR(folder.st_mode));
    QCOMPARE(folder.st_uid, ::geteuid());
    QCOMPARE(folder.st_mode & 0777, mode_t(0700));
}

void TestSingleInstance::anotherUsersFilesAreNeverUsed() {
    if (::geteuid() != 0)
        QSKIP("needs root to make files another user owns");
    const passwd* other = ::getpwnam("nobody");
    QVERIFY(other);
    // Their folder where this user's own would be made: the socket goes elsewhere.
    const QByteArray taken =
        QFile::encodeName(m_runtime.filePath(QStringLiteral("quoralis2005-%1").arg(::geteuid())));
    QVERIFY(::mkdir(taken.constData(), 0777) == 0 || errno == EEXIST);
    QVERIFY(::chmod(taken.constData(), 0777) == 0);
    QVERIFY(::chown(taken.constData(), other->pw_uid, other->pw_gid) == 0);
    {
        SingleInstance primary;
        QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
        QVERIFY(!socketFile().isEmpty());
        QVERIFY2(!QFile::encodeName(socketFile()).startsWith(taken), qPrintable(socketFile()));
    }
    QVERIFY(::rmdir(taken.constData()) == 0);

    // Their lock file beside the settings file: the lock goes to this user's own folder.
    const QByteArray lock = QByteArray::fromStdString(SingleInstance::lockFileFor(settingsFile()).native());
    QFile planted(QFile::decodeName(lock));
    QVERIFY(planted.open(QIODevice::WriteOnly));
    planted.write(QFile::encodeName(m_runtime.filePath(QStringLiteral("theirs.socket"))));
    planted.close();
    QVERIFY(::chown(lock.constData(), other->pw_uid, other->pw_gid) == 0);
    SingleInstance copy;
    QCOMPARE(copy.acquire(settingsFile()), Role::Primary);
    QSignalSpy activation(&copy, &SingleInstance::activationRequested);
    SingleInstance next;
    QCOMPARE(next.acquire(settingsFile()), Role::Secondary);
    QCOMPARE(next.forward({}).outcome, Outcome::Handed);
    QTRY_COMPARE(activation.count(), 1);
}

// Settings on read-only media: the copies still exclude each other.
void TestSingleInstance::readOnlySettingsFolder() {
    TestMount mount(TestMount::Kind::ReadOnlyBind, m_program->path());
    if (!mount.isActive())
        QSKIP(qPrintable(mount.error()));
    SingleInstance primary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QSignalSpy activation(&primary, &SingleInstance::activationRequested);
    SingleInstance secondary;
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    QCOMPARE(secondary.forward({}).outcome, Outcome::Handed);
    QTRY_COMPARE(activation.count(), 1);
}

void TestSingleInstance::withdrawnStartGetsNoBackup() {
    SingleInstance primary;
    SingleInstance secondary;
    QCOMPARE(primary.acquire(settingsFile()), Role::Primary);
    QCOMPARE(secondary.acquire(settingsFile()), Role::Secondary);
    SingleInstanceReply received;
    connect(&primary, &SingleInstance::backupRequested, this,
            [&](const QStringList&, const SingleInstanceReply& reply) {
                received = reply;
                QTimer::singleShot(0, &secondary, &SingleInstance::withdraw);
            });

    const SingleInstance::Forwarded forwarded = secondary.forward(args("/autoclose"));
    QCOMPARE(forwarded.outcome, Outcome::Withdrawn);
    QCOMPARE(forwarded.exitStatus, int(ExitStatus::BackupIncomplete));
    // Seen at once, before the running copy's event loop has heard of it.
    QVERIFY(!received.isWaiting());

    // Ended while it waits for a scheduled run of the first copy to end.
    SingleInstance later;
    QCOMPARE(later.acquire(settingsFile()), Role::Secondary);
    primary.setUnattendedRun(true);
    QCOMPARE(later.forward(args("/autoclose")).outcome, Outcome::PrimaryUnattended);
    QTimer::singleShot(0, &later, &SingleInstance::withdraw);
    QCOMPARE(later.waitForPrimaryToEnd(), SingleInstance::Wait::Withdrawn);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
