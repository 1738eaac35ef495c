#include "housekeepingfixture.h"
#include "log/logfilewriter.h"
#include "unprivilegedscope.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
const QString looking7 = QStringLiteral("Looking for logs older than 7 days...");
const QString complete = QStringLiteral("Logcleanup complete");

QString deleted(const QString& name) {
    return QStringLiteral("Deleted outdated log file: ") + name;
}
} // namespace

// Old log files disappear from "logs" and its subfolders without a question; nothing else does.
class LogCleanupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threshold_data() {
        QTest::addColumn<qint64>("secondsAfterThreshold");
        QTest::addColumn<qint64>("extraMilliseconds");
        QTest::addColumn<bool>("deletedExpected");
        QTest::newRow("7 days and 1 minute ago") << qint64(-60) << qint64(0) << true;
        QTest::newRow("exactly 7 days ago") << qint64(0) << qint64(0) << true;
        QTest::newRow("1 ms after the threshold") << qint64(0) << qint64(1) << false;
        QTest::newRow("6 days 23 hours ago") << qint64(3600) << qint64(0) << false;
        QTest::newRow("a year ago") << qint64(-358 * 86400) << qint64(0) << true;
        QTest::newRow("in the future") << qint64(8 * 86400) << qint64(0) << false;
    }
    void threshold() {
        QFETCH(qint64, secondsAfterThreshold);
        QFETCH(qint64, extraMilliseconds);
        QFETCH(bool, deletedExpected);
        HousekeepingFixture f;
        f.switchLogCleanup(true, 7);
        f.file("logs/run.txt", f.now.addSecs(-7 * 86400 + secondsAfterThreshold).addMSecs(extraMilliseconds));

        f.housekeeping.CleanOldLogs();

        QCOMPARE(f.exists("logs/run.txt"), !deletedExpected);
        const QStringList expected = deletedExpected
                                         ? QStringList{looking7, deleted(QStringLiteral("run.txt")), complete}
                                         : QStringList{looking7, complete};
        QCOMPARE(f.messages, expected);
        QVERIFY(f.prompts.shown.isEmpty());
        QVERIFY(f.sounds.isEmpty());
    }

    void foldersMasksAndOrder() {
        HousekeepingFixture f;
        f.switchLogCleanup(true, 7);
        const QDateTime old = f.now.addDays(-30);
        for (const char* name : {"logs/top2.txt", "logs/top1.txt", "logs/.hidden.txt", "logs/2023/old.TXT",
                                 "logs/a/inner.txt", "logs/b/deeper/leaf.txt", "logs/b/mid.txt"})
            f.file(name, old);
        const std::vector<std::string> kept{"logs/.cache/old.txt", "logs/notes.log", "logs/old.txt.bak",
                                            "logs/a/.git/old.txt", "old.txt",        "other/old.txt"};
        for (const std::string& name : kept)
            f.file(name, old);
        f.file("logs/new.txt", f.now);
        // A folder named like a log is a folder: entered, never deleted.
        f.file("logs/folder.txt/inside.txt", old);

        f.housekeeping.CleanOldLogs();

        // Each folder's files (sorted by name) come before its subfolders.
        QCOMPARE(f.messages,
                 (QStringList{looking7, deleted(QStringLiteral(".hidden.txt")),
                              deleted(QStringLiteral("top1.txt")), deleted(QStringLiteral("top2.txt")),
                              deleted(QStringLiteral("old.TXT")), deleted(QStringLiteral("inner.txt")),
                              deleted(QStringLiteral("mid.txt")), deleted(QStringLiteral("leaf.txt")),
                              deleted(QStringLiteral("inside.txt")), complete}));
        for (const std::string& name : kept)
            QVERIFY2(f.exists(name), name.c_str());
        QVERIFY(f.exists("logs/new.txt"));
        QVERIFY(fs::is_directory(f.at("logs/folder.txt")));
        QVERIFY(!f.exists("logs/b/mid.txt"));
    }

    void switchedOffUnlessAskedFor() {
        HousekeepingFixture f;
        f.switchLogCleanup(false, 7);
        f.file("logs/old.txt", f.now.addDays(-8));

        f.housekeeping.CleanOldLogs();
        QVERIFY(f.exists("logs/old.txt"));
        QVERIFY(f.messages.isEmpty());

        // "delete now" deletes whatever the check box says.
        f.housekeeping.CleanOldLogs(true);
        QVERIFY(!f.exists("logs/old.txt"));
        QCOMPARE(f.messages, (QStringList{looking7, deleted(QStringLiteral("old.txt")), complete}));
    }

    void daysComeFromTheSettings() {
        HousekeepingFixture f;
        f.switchLogCleanup(true, 30);
        f.file("logs/month.txt", f.now.addDays(-30));
        f.file("logs/weeks.txt", f.now.addDays(-29));

        f.housekeeping.CleanOldLogs();

        QVERIFY(!f.exists("logs/month.txt"));
        QVERIFY(f.exists("logs/weeks.txt"));
        QCOMPARE(f.messages.first(), QStringLiteral("Looking for logs older than 30 days..."));
    }

    void noLogsFolder_data() {
        QTest::addColumn<bool>("fileInstead");
        QTest::newRow("missing") << false;
        QTest::newRow("a file named logs") << true;
    }
    void noLogsFolder() {
        QFETCH(bool, fileInstead);
        HousekeepingFixture f;
        f.switchLogCleanup(true, 7);
        if (fileInstead)
            f.file("logs", f.now.addDays(-100));

        f.housekeeping.CleanOldLogs();

        QCOMPARE(f.messages, (QStringList{looking7, complete}));
        QCOMPARE(f.exists("logs"), fileInstead);
    }

    void namesAreBytes() {
        HousekeepingFixture f;
        f.switchLogCleanup(true, 7);
        f.file("logs/old\xff.txt", f.now.addDays(-8));
        f.file("logs/sub\xfe/inner.txt", f.now.addDays(-8));

        f.housekeeping.CleanOldLogs();

        QVERIFY(!f.exists("logs/old\xff.txt"));
        QVERIFY(!f.exists("logs/sub\xfe/inner.txt"));
        QCOMPARE(f.messages.size(), 4);
    }

    void symbolicLinksAreNotFollowed() {
        HousekeepingFixture f;
        f.switchLogCleanup(true, 7);
        const QDateTime old = f.now.addDays(-8);
        const fs::path target = f.file("outside/target.txt", old);
        f.file("outside/folder/old.txt", old);
        f.folder("logs");
        fs::create_symlink(target, f.at("logs/link.txt"));
        setModified(f.at("logs/link.txt"), old);
        fs::create_directory_symlink(f.at("outside/folder"), f.at("logs/folderlink"));
        fs::create_directory_symlink(f.at("outside/folder"), f.at("logs/folderlink.txt"));

        f.housekeeping.CleanOldLogs();

        QVERIFY(f.exists("logs/link.txt"));
        QVERIFY(f.exists("outside/target.txt"));
        QVERIFY(f.exists("outside/folder/old.txt"));
        QVERIFY(f.exists("logs/folderlink"));
        QVERIFY(f.exists("logs/folderlink.txt"));
        QCOMPARE(f.messages, (QStringList{looking7, complete}));
    }

    void failedDeletionIsLoggedAsFailure() {
        HousekeepingFixture f;
        f.switchLogCleanup(true, 7);
        f.file("logs/free.txt", f.now.addDays(-8));
        f.file("logs/locked/stuck.txt", f.now.addDays(-8));
        ::chmod(f.dir.path().toLocal8Bit().constData(), 0755);
        ::chmod(f.at("logs").c_str(), 0777);
        ::chmod(f.at("logs/locked").c_str(), 0555);
        {
            UnprivilegedScope unprivileged;
            if (!unprivileged.isActive())
                QSKIP("cannot drop root rights here");
            f.housekeeping.CleanOldLogs();
        }
        ::chmod(f.at("logs/locked").c_str(), 0755);

        QVERIFY(!f.exists("logs/free.txt"));
        QVERIFY(f.exists("logs/locked/stuck.txt"));
        QCOMPARE(f.messages,
                 (QStringList{looking7, deleted(QStringLiteral("free.txt")),
                              QStringLiteral("Unable to delete outdated log file: stuck.txt"), complete}));
    }

    void theLogJustWrittenSurvives() {
        HousekeepingFixture f;
        f.switchLogCleanup(true, 1);
        f.file("logs/yesterday.txt", f.now.addDays(-1).addSecs(-1));
        const QString written =
            LogFileWriter::write(f.dir.filePath(QStringLiteral("logs")), {QStringLiteral("a line")});
        f.now = QDateTime::currentDateTime();

        f.housekeeping.CleanOldLogs();

        QVERIFY(QFile::exists(written));
        QVERIFY(!f.exists("logs/yesterday.txt"));
    }
};

QTEST_MAIN(LogCleanupTest)
#include "tst_logcleanup.moc"
