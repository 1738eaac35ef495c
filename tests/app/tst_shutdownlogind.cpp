#include "engine/backuprun.h"
#include "app/timedshutdown.h"
#include "apptestharness.h"
#include "config/settingsdialog.h"
#include "logindmock.h"
#include "platform/logindshutdownservice.h"
#include "schedule/intervaltimer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString abortCaption = QStringLiteral("ABORT");
const QString backupCaption = QStringLiteral("Backup!");

qint64 nowUsec() {
    return QDateTime::currentMSecsSinceEpoch() * 1000;
}

// A main window whose shutdowns go to the given bus, with one folder of files to back up.
struct ShutdownFixture {
    explicit ShutdownFixture(
        const QDBusConnection& bus,
        std::chrono::milliseconds answerDeadline = platform::LogindShutdownService::defaultAnswerDeadline)
        : service(bus, answerDeadline) {
        h.shutdown = &service;
        docs = h.dir.filePath(QStringLiteral("data/Docs"));
        destination = h.dir.filePath(QStringLiteral("backups/"));
        h.dir.writeFile(QStringLiteral("data/Docs/a.txt"), QByteArray(5000, 'a'));
        h.dir.writeFile(QStringLiteral("data/Docs/sub/b.txt"), "bee");
    }
    MainWindow& start(const QString& dest) {
        h.writeSettings("[settings]\ndestination=" + dest.toUtf8() +
                        "\n[folders]\nfolder_count=0\nfolder_0=" + docs.toUtf8() + "\n");
        MainWindow& form = h.start();
        button = form.findChild<QPushButton*>(QStringLiteral("btBackup"));
        h.prompts.shown.clear();
        return form;
    }
    QStringList archives() const {
        return QDir(destination).entryList({QStringLiteral("*.zip")}, QDir::Files);
    }
    QByteArray archiveBytes() const {
        QFile file(destination + QStringLiteral("Quoralis.zip"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool archiveTestsGood() const {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"),
                    {QStringLiteral("-tq"), destination + QStringLiteral("Quoralis.zip")});
        return unzip.waitForFinished(60000) && unzip.exitStatus() == QProcess::NormalExit &&
               unzip.exitCode() == 0;
    }
    void startUnattended() {
        h.writeSettings("[settings]\nkeep_log=1\ndestination=" + destination.toUtf8() +
                        "\n[folders]\nfolder_count=0\nfolder_0=" + docs.toUtf8() + "\n");
        form = &h.start({QStringLiteral("/autoshutdown")});
        button = form->findChild<QPushButton*>(QStringLiteral("btBackup"));
    }
    int logFiles() const {
        return QDir(h.dir.filePath(QStringLiteral("logs"))).entryList(QDir::Files).size();
    }
    int backupsLogged() const { return h.messages().filter(QStringLiteral("Backup created: ")).size(); }

    // Declared first: the window, made by the harness, uses the service until it goes.
    platform::LogindShutdownService service;
    AppTestHarness h;
    QString docs;
    QString destination;
    QPushButton* button = nullptr;
    MainWindow* form = nullptr;
};

// A named pipe the login manager mock reads before it answers: the test lets it answer.
class AnswerGate {
public:
    AnswerGate()
        : m_path(m_dir.filePath(QStringLiteral("answer"))) {
        ::mkfifo(QFile::encodeName(m_path).constData(), 0600);
    }
    ~AnswerGate() {
        // Never leaves the mock waiting: a gate nobody reads from stays shut harmlessly.
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    QString path() const { return m_path; }
    // Waits until the mock reads, then lets it answer.
    void open() {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

// Backup and shutdown through the main window, with the login manager played by a mock on a
// private bus: what the manager is asked, and what the person sees.
class TestShutdownLogind : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void timerAbortsTheScheduledShutdown();
    void refusedShutdown_data();
    void refusedShutdown();
    void earlyEndSchedulesNothingUntilABackupCompletes();
    void lateAnswerIsARefusalAndALateAcceptanceIsWithdrawn();
    void acceptedShutdownThatNeverComes_data();
    void acceptedShutdownThatNeverComes();

private:
    LogindMock m_logind;
};

void TestShutdownLogind::initTestCase() {
    if (const QString missing = LogindMock::missingTool(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(m_logind.start(), qPrintable(m_logind.error()));
}

void TestShutdownLogind::init() {
    QVERIFY2(m_logind.reset(), qPrintable(m_logind.error()));
    QVERIFY2(m_logind.acceptShutdownRequests(), qPrintable(m_logind.error()));
}

void TestShutdownLogind::timerAbortsTheScheduledShutdown() {
    ShutdownFixture f(m_logind.connection());
    MainWindow& form = f.start(f.destination);
    const qint64 before = nowUsec();
    form.program().backupAndShutdown();
    const qint64 after = nowUsec();

    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QVERIFY(f.archiveTestsGood());
    const QList<QVariantList> scheduled = m_logind.calls(QStringLiteral("ScheduleShutdown"));
    QCOMPARE(scheduled.size(), 1);
    QCOMPARE(scheduled[0].size(), 2);
    QCOMPARE(scheduled[0][0].toString(), QStringLiteral("poweroff"));
    const qint64 when = scheduled[0][1].toLongLong();
    QVERIFY2(when >= before + 30000000 && when <= after + 30000000,
             qPrintable(QString::number(when - before)));
    QCOMPARE(m_logind.scheduledShutdown().first, QStringLiteral("poweroff"));
    QCOMPARE(f.button->text(), abortCaption);
    QCOMPARE(f.button->toolTip(), QStringLiteral("Cancel system shutdown"));
    QVERIFY(f.h.messages().contains(QStringLiteral("Shutting down computer in 30 secs...")));
    QVERIFY(f.h.prompts.shown.isEmpty());

    // Closing is refused while the shutdown is pending, and leaves it pending.
    QVERIFY(!form.close());
    QVERIFY(m_logind.calls(QStringLiteral("CancelScheduledShutdown")).isEmpty());

    const QByteArray archive = f.archiveBytes();
    Q_EMIT form.program().intervalTimer().backupDue();
    QCOMPARE(m_logind.calls(QStringLiteral("CancelScheduledShutdown")).size(), 1);
    QCOMPARE(m_logind.scheduledShutdown().first, QString());
    QCOMPARE(f.button->text(), backupCaption);
    QCOMPARE(f.button->toolTip(), QStringLiteral("Make backup now, right click for options"));
    QCOMPARE(f.h.prompts.notices(), QStringList(QStringLiteral("Shutdown aborted.")));
    QVERIFY(f.h.messages().contains(QStringLiteral("Shutdown aborted by user")));
    // The timer's turn went to the abort: no second backup.
    QCOMPARE(f.backupsLogged(), 1);
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QCOMPARE(f.archiveBytes(), archive);

    // Both flags are cleared: the next backup neither schedules a shutdown nor ends the program.
    form.program().backup();
    QCOMPARE(f.backupsLogged(), 2);
    QCOMPARE(m_logind.calls(QStringLiteral("ScheduleShutdown")).size(), 1);
    QCOMPARE(f.button->text(), backupCaption);
    QVERIFY(!form.program().hasEnded());
    QVERIFY(form.close());
}

void TestShutdownLogind::refusedShutdown_data() {
    QTest::addColumn<bool>("busReachable");
    QTest::newRow("refused by the login manager") << true;
    QTest::newRow("no bus") << false;
}

void TestShutdownLogind::refusedShutdown() {
    QFETCH(bool, busReachable);
    QVERIFY2(m_logind.reset() && m_logind.refuseShutdownRequests(), qPrintable(m_logind.error()));
    const QDBusConnection bus =
        busReachable ? m_logind.connection()
                     : QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/quoralis-bus"),
                                                     QStringLiteral("unreachable"));
    const QString refusal =
        QStringLiteral("The computer could not be shut down: the system refused the request.");
    {
        ShutdownFixture f(bus);
        MainWindow& form = f.start(f.destination);
        form.program().backupAndShutdown();

        QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
        QCOMPARE(m_logind.calls(QStringLiteral("ScheduleShutdown")).size(), busReachable ? 1 : 0);
        QTRY_COMPARE(f.button->text(), backupCaption);
        QCOMPARE(m_logind.scheduledShutdown().first, QString());
        // The refusal is logged and shown, and nothing claims a shutdown is coming.
        QVERIFY(f.h.messages().contains(refusal));
        QCOMPARE(f.h.prompts.notices(), QStringList(refusal));
        QCOMPARE(f.button->text(), backupCaption);
        QVERIFY(!form.program().autoShutdown());
        QCOMPARE(form.program().exitCode(), int(ExitStatus::ShutdownRefused));

        // The next Backup action backs up again, and the program may close.
        form.program().backup();
        QCOMPARE(f.backupsLogged(), 2);
        QVERIFY(m_logind.calls(QStringLiteral("CancelScheduledShutdown")).isEmpty());
        QVERIFY(form.close());
    }
    {
        // Unattended, the run ends the program by itself.
        ShutdownFixture f(bus);
        f.startUnattended();
        QTRY_VERIFY(f.form->program().hasEnded());
        QCOMPARE(f.form->program().exitCode(), int(ExitStatus::ShutdownRefused));
        QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
        QCOMPARE(f.logFiles(), 1);
    }
}

void TestShutdownLogind::earlyEndSchedulesNothingUntilABackupCompletes() {
    ShutdownFixture f(m_logind.connection());
    MainWindow& form = f.start(QString());
    f.h.prompts.queueAnswer(false);
    form.program().backupAndShutdown();
    QCOMPARE(f.h.prompts.questions(), QStringList(BackupRun::NoDestinationQuestion));
    QVERIFY(m_logind.calls(QStringLiteral("ScheduleShutdown")).isEmpty());
    QCOMPARE(f.button->text(), backupCaption);
    QVERIFY(form.program().autoShutdown());

    // The request outlives the early end: the next completed backup schedules the shutdown.
    form.settingsDialog()->Destination()->setText(f.destination);
    form.program().backup();
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QCOMPARE(m_logind.calls(QStringLiteral("ScheduleShutdown")).size(), 1);
    QCOMPARE(m_logind.scheduledShutdown().first, QStringLiteral("poweroff"));
    QCOMPARE(f.button->text(), abortCaption);

    f.button->click();
    QCOMPARE(m_logind.scheduledShutdown().first, QString());
    QCOMPARE(f.button->text(), backupCaption);
    QVERIFY(!form.program().autoShutdown());
}

void TestShutdownLogind::lateAnswerIsARefusalAndALateAcceptanceIsWithdrawn() {
    AnswerGate gate;
    QVERIFY2(m_logind.reset() && m_logind.acceptShutdownRequestsOnlyAfter(gate.path()),
             qPrintable(m_logind.error()));
    const QString refusal =
        QStringLiteral("The computer could not be shut down: the system refused the request.");
    ShutdownFixture f(m_logind.connection(), 300ms);
    MainWindow& form = f.start(f.destination);
    form.program().backupAndShutdown();

    // The window did not wait for the login manager: the request is out, the answer still to come.
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QCOMPARE(f.button->text(), abortCaption);
    QVERIFY(f.h.prompts.shown.isEmpty());

    // No answer by the deadline is a refusal.
    QTRY_COMPARE_WITH_TIMEOUT(f.button->text(), backupCaption, 20000);
    QCOMPARE(f.h.prompts.notices(), QStringList(refusal));
    QVERIFY(f.h.messages().contains(refusal));
    QCOMPARE(form.program().exitCode(), int(ExitStatus::ShutdownRefused));
    QVERIFY(!form.program().autoShutdown());

    // The manager accepts after all; the program has said no shutdown comes, and withdraws it.
    gate.open();
    QTRY_COMPARE_WITH_TIMEOUT(m_logind.calls(QStringLiteral("CancelScheduledShutdown")).size(), 1, 20000);
    QCOMPARE(m_logind.calls(QStringLiteral("ScheduleShutdown")).size(), 1);
    QCOMPARE(m_logind.scheduledShutdown().first, QString());
    QCOMPARE(f.button->text(), backupCaption);
    QVERIFY(form.close());
}

void TestShutdownLogind::acceptedShutdownThatNeverComes_data() {
    QTest::addColumn<bool>("unattended");
    QTest::newRow("backup and shutdown from the menu") << false;
    QTest::newRow("/autoshutdown") << true;
}

void TestShutdownLogind::acceptedShutdownThatNeverComes() {
    QFETCH(bool, unattended);
    const QString overdue = QStringLiteral(
        "The computer was not shut down: the system accepted the request but did not carry it out.");
    ShutdownFixture f(m_logind.connection());
    if (unattended) {
        f.startUnattended();
    } else {
        f.form = &f.start(f.destination);
        f.form->program().backupAndShutdown();
    }
    auto* timed = &f.form->program().timedShutdown();
    QVERIFY(timed);
    QCOMPARE(timed->overdueAfter(), TimedShutdown::defaultOverdueAfter);
    timed->setOverdueAfter(100ms);
    QCOMPARE(m_logind.scheduledShutdown().first, QStringLiteral("poweroff"));
    QVERIFY(!f.form->program().hasEnded());
    QCOMPARE(f.button->text(), abortCaption);

    // The manager took the request and then did nothing.
    QTRY_COMPARE_WITH_TIMEOUT(f.button->text(), backupCaption, 20000);
    QVERIFY(f.h.messages().contains(overdue));
    QCOMPARE(f.h.prompts.notices(), QStringList(overdue));
    QCOMPARE(m_logind.scheduledShutdown().first, QString());
    QCOMPARE(f.form->program().exitCode(), int(ExitStatus::ShutdownRefused));
    QVERIFY(!f.form->program().autoShutdown());
    if (unattended) {
        QTRY_VERIFY(f.form->program().hasEnded());
        QCOMPARE(f.logFiles(), 1);
    } else {
        QVERIFY(!f.form->program().hasEnded());
        QVERIFY(f.form->close());
    }
}

QTEST_MAIN(TestShutdownLogind)
#include "tst_shutdownlogind.moc"
