#include "backupfixture.h"
#include "platform/shutdownservice.h"

#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

void ageFile(const QString& path, int days) {
    const qint64 seconds = QDateTime::currentSecsSinceEpoch() - qint64(days) * 86400;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

class AcceptingShutdown : public platform::ShutdownService {
public:
    PrivilegeResult enableShutdownPrivilege() override { return PrivilegeResult::Ok; }
    bool scheduleShutdown(const QString&, const QString&, int) override { return true; }
    bool abortShutdown(const QString&) override { return true; }
};

const QString firstQuestionStart = QStringLiteral("The following 1 archives are older than 30 days:");

} // namespace

// Where the program runs its cleanups: the close sequence deletes old logs and (through the
// save of the settings) offers outdated archives, except while a shutdown is pending.
class CleanupCallersTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void closeSequenceRunsBothCleanups() {
        BackupFixture f;
        f.settings("keep_log=1\nclean_logs=1\nlog_clean_days=7\nmulti_archive=1\nclean_backups=1\nbackup_"
                   "clean_days=30",
                   {f.docs});
        f.h.dir.writeFile(QStringLiteral("logs/old.txt"), "old log");
        ageFile(f.h.dir.filePath(QStringLiteral("logs/old.txt")), 8);
        f.h.dir.writeFile(QStringLiteral("backups/Quoralis_old.zip"), "old archive");
        ageFile(f.destination + QStringLiteral("Quoralis_old.zip"), 31);
        f.h.prompts.queueAnswer(false); // the check at the end of start-up
        MainWindow& form = f.h.start();
        f.h.prompts.queueAnswer(false); // the one after saving the settings at close

        QVERIFY(form.close());

        QCOMPARE(f.h.prompts.questions().size(), 2);
        QVERIFY(f.h.prompts.questions().at(1).startsWith(firstQuestionStart));
        QVERIFY(!QFile::exists(f.h.dir.filePath(QStringLiteral("logs/old.txt"))));
        QCOMPARE(QDir(f.h.dir.filePath(QStringLiteral("logs"))).entryList(QDir::Files).size(), 1);
        QVERIFY(f.h.messages().contains(QStringLiteral("Deleted outdated log file: old.txt")));
    }

    void noArchiveQuestionWhileAShutdownIsPending() {
        BackupFixture f;
        AcceptingShutdown shutdown;
        f.h.shutdown = &shutdown;
        f.settings("multi_archive=1\nclean_backups=1\nbackup_clean_days=30", {f.docs});
        f.h.dir.writeFile(QStringLiteral("backups/Quoralis_old.zip"), "old archive");
        ageFile(f.destination + QStringLiteral("Quoralis_old.zip"), 31);
        f.h.prompts.queueAnswer(false); // the check after the run

        MainWindow& form = f.h.start({QStringLiteral("/autoshutdown")});
        QVERIFY(form.program().shutdownPending());
        // The close is refused while the shutdown is pending; its save asks nothing.
        QVERIFY(!form.close());

        QCOMPARE(f.h.prompts.questions().size(), 1);
        QVERIFY(f.h.prompts.questions().first().startsWith(firstQuestionStart));
        QVERIFY(QFile::exists(f.destination + QStringLiteral("Quoralis_old.zip")));
    }
};

QTEST_MAIN(CleanupCallersTest)
#include "tst_cleanupcallers.moc"
