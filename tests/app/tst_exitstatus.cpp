// The exit status keeps the worst of the results recorded, whatever order they come in: a backup
// that was not made outranks an incomplete one, which outranks a shutdown that was refused.
#include "app/exitstatus.h"

#include <QTest>

Q_DECLARE_METATYPE(ExitStatus::Code)

class TestExitStatus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothingRecordedIsSuccess();
    void twoResultsInARow_data();
    void twoResultsInARow();
};

void TestExitStatus::nothingRecordedIsSuccess() {
    QCOMPARE(ExitStatus().code(), ExitStatus::AllArchivesMade);
}

void TestExitStatus::twoResultsInARow_data() {
    QTest::addColumn<ExitStatus::Code>("first");
    QTest::addColumn<ExitStatus::Code>("second");
    QTest::addColumn<ExitStatus::Code>("expected");
    using E = ExitStatus;
    const struct {
        const char* name;
        E::Code first;
        E::Code second;
        E::Code expected;
    } rows[] = {
        {"made, made", E::AllArchivesMade, E::AllArchivesMade, E::AllArchivesMade},
        {"made, incomplete", E::AllArchivesMade, E::BackupIncomplete, E::BackupIncomplete},
        {"made, not made", E::AllArchivesMade, E::BackupNotMade, E::BackupNotMade},
        {"made, shutdown refused", E::AllArchivesMade, E::ShutdownRefused, E::ShutdownRefused},
        {"incomplete, made", E::BackupIncomplete, E::AllArchivesMade, E::BackupIncomplete},
        {"incomplete, incomplete", E::BackupIncomplete, E::BackupIncomplete, E::BackupIncomplete},
        {"incomplete, not made", E::BackupIncomplete, E::BackupNotMade, E::BackupNotMade},
        {"incomplete, shutdown refused", E::BackupIncomplete, E::ShutdownRefused, E::BackupIncomplete},
        {"not made, made", E::BackupNotMade, E::AllArchivesMade, E::BackupNotMade},
        {"not made, incomplete", E::BackupNotMade, E::BackupIncomplete, E::BackupNotMade},
        {"not made, not made", E::BackupNotMade, E::BackupNotMade, E::BackupNotMade},
        {"not made, shutdown refused", E::BackupNotMade, E::ShutdownRefused, E::BackupNotMade},
        {"shutdown refused, made", E::ShutdownRefused, E::AllArchivesMade, E::ShutdownRefused},
        {"shutdown refused, incomplete", E::ShutdownRefused, E::BackupIncomplete, E::BackupIncomplete},
        {"shutdown refused, not made", E::ShutdownRefused, E::BackupNotMade, E::BackupNotMade},
        {"shutdown refused, shutdown refused", E::ShutdownRefused, E::ShutdownRefused, E::ShutdownRefused},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.first << row.second << row.expected;
}

void TestExitStatus::twoResultsInARow() {
    QFETCH(ExitStatus::Code, first);
    QFETCH(ExitStatus::Code, second);
    QFETCH(ExitStatus::Code, expected);
    ExitStatus status;
    status.record(first);
    QCOMPARE(status.code(), first);
    status.record(second);
    QCOMPARE(status.code(), expected);
}

QTEST_GUILESS_MAIN(TestExitStatus)
#include "tst_exitstatus.moc"
