#include "app/exitstatus.h"
#include "app/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

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

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
