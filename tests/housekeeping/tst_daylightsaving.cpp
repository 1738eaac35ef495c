#include "housekeepingfixture.h"

#include <QTest>

#include <ctime>

// The cleanups' threshold is N x 24 hours before now, also when the clocks change in
// between: then it is not the same clock time N calendar days ago. Runs in a zone with
// summer time (TZ is set for this test).
class DaylightSavingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
        const QDateTime winter(QDate(2026, 1, 15), QTime(12, 0));
        const QDateTime summer(QDate(2026, 7, 15), QTime(12, 0));
        if (winter.offsetFromUtc() == summer.offsetFromUtc())
            QSKIP("no time zone with summer time here");
    }

    void thresholdIs24HoursPerDay_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("modified");
        QTest::addColumn<bool>("outdated");
        // Spring: the night of 28/29 March 2026 is an hour short.
        const QDateTime spring(QDate(2026, 3, 29), QTime(12, 0));
        QTest::newRow("spring, a minute before 24 h")
            << spring << QDateTime(QDate(2026, 3, 28), QTime(10, 59)) << true;
        QTest::newRow("spring, exactly 24 h")
            << spring << QDateTime(QDate(2026, 3, 28), QTime(11, 0)) << true;
        // Same clock time the day before minus half an hour: only 23.5 hours ago.
        QTest::newRow("spring, 23.5 h ago")
            << spring << QDateTime(QDate(2026, 3, 28), QTime(11, 30)) << false;
        // Autumn: the night of 24/25 October 2026 is an hour long.
        const QDateTime autumn(QDate(2026, 10, 25), QTime(12, 0));
        QTest::newRow("autumn, 24.5 h ago")
            << autumn << QDateTime(QDate(2026, 10, 24), QTime(12, 30)) << true;
        QTest::newRow("autumn, exactly 24 h")
            << autumn << QDateTime(QDate(2026, 10, 24), QTime(13, 0)) << true;
        QTest::newRow("autumn, a minute short")
            << autumn << QDateTime(QDate(2026, 10, 24), QTime(13, 1)) << false;
    }
    void thresholdIs24HoursPerDay() {
        QFETCH(QDateTime, now);
        QFETCH(QDateTime, modified);
        QFETCH(bool, outdated);
        HousekeepingFixture f;
        f.now = now;
        f.switchLogCleanup(true, 1);
        f.switchArchiveCheck(true, 1, f.dir.filePath(QStringLiteral("dest")));
        f.file("logs/run.txt", modified);
        f.file("dest/Quoralis.zip", modified);
        f.prompts.queueAnswer(true);
        f.prompts.queueAnswer(true);

        f.housekeeping.CleanOldLogs();
        f.housekeeping.CheckOutdatedArchives();

        QCOMPARE(!f.exists("logs/run.txt"), outdated);
        QCOMPARE(!f.exists("dest/Quoralis.zip"), outdated);
    }
};

QTEST_MAIN(DaylightSavingTest)
#include "tst_daylightsaving.moc"
