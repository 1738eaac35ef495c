#include "log/logfilewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLogFileWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runsEndingInOneSecondKeepEachTheirLog();
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

QTEST_GUILESS_MAIN(TestLogFileWriter)
#include "tst_logfilewriter.moc"
