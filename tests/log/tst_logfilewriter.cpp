#include "log/logfilewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>

class TestLogFileWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runsEndingInOneSecondKeepEachTheirLog();
    void aFullDiskLeavesNothingBehind_data();
    void aFullDiskLeavesNothingBehind();
};

void TestLogFileWriter::runsEndingInOneSecondKeepEachTheirLog() {
    QTemporaryDir dir;
    const QDateTime moment(QDate(2026, 12, 6), QTime(10, 15, 30));
    const QString first =
        LogFileWriter::write(dir.filePath(QStringLiteral("logs")), {QStringLiteral("first run")}, moment);
    const QString second =
        LogFileWriter::write(dir.filePath(QStringLiteral("logs")), {QStringLiteral("second run")}, moment);
    const QString third =
        LogFileWriter::write(dir.filePath(QStringLiteral("logs")), {QStringLiteral("third run")}, moment);
    QCOMPARE(QFileInfo(second).fileName(), QFileInfo(first).completeBaseName() + QStringLiteral("_2.txt"));
    QCOMPARE(QFileInfo(third).fileName(), QFileInfo(first).completeBaseName() + QStringLiteral("_3.txt"));
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(read(first), QByteArray("first run\r\n"));
    QCOMPARE(read(second), QByteArray("second run\r\n"));
    QCOMPARE(read(third), QByteArray("third run\r\n"));
    // Nothing half-written is left beside them.
    QCOMPARE(QDir(QFileInfo(first).path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

void TestLogFileWriter::aFullDiskLeavesNothingBehind_data() {
    QTest::addColumn<int>("lineLength");
    QTest::newRow("a log that waits in the write buffer") << 3000;
    QTest::newRow("a log written in part") << 100000;
}

// The disk fills while the log is written (a file size limit stands in for it): the close fails
// with an error, and neither the log nor its temporary file is left in the folder.
void TestLogFileWriter::aFullDiskLeavesNothingBehind() {
    QFETCH(int, lineLength);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    struct rlimit before {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = before;
    limited.rlim_cur = 1024;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool threw = false;
    try {
        LogFileWriter::write(folder, {QString(lineLength, QLatin1Char('x')), QStringLiteral("end")});
    } catch (const std::runtime_error&) {
        threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(threw);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

QTEST_GUILESS_MAIN(TestLogFileWriter)
#include "tst_logfilewriter.moc"
