#include "log/activitylog.h"

#include <QSignalSpy>
#include <QTest>

// Every message is exactly one line of the log, whatever a file name holds.
class TestActivityLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlCharactersAreEscaped_data();
    void controlCharactersAreEscaped();
    void aNameCannotForgeALine();
};

void TestActivityLog::controlCharactersAreEscaped_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logged");
    QTest::newRow("plain") << QStringLiteral("Added folder /home/a b/ü")
                           << QStringLiteral("Added folder /home/a b/ü");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("a\\nb");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("a\\rb");
    QTest::newRow("tab and escape") << QStringLiteral("a\tb\x1b[2J") << QStringLiteral("a\\tb\\x1b[2J");
    QTest::newRow("delete and C1") << QString::fromUtf16(u"a\x7f\x85z") << QStringLiteral("a\\x7f\\x85z");
    QTest::newRow("line separator") << QString::fromUtf16(u"a\u2028b") << QStringLiteral("a\\u2028b");
}

void TestActivityLog::controlCharactersAreEscaped() {
    QFETCH(QString, message);
    QFETCH(QString, logged);
    ActivityLog log;
    QSignalSpy echoed(&log, &ActivityLog::messageLogged);
    log.logMessage(message);
    QCOMPARE(log.lines().size(), 1);
    QVERIFY(log.lines().first().endsWith(QStringLiteral(" - ") + logged));
    QCOMPARE(echoed.first().first().toString(), logged);
}

void TestActivityLog::aNameCannotForgeALine() {
    ActivityLog log;
    log.logMessage(
        QStringLiteral("Backup NOT created: /dest/Quoralis_x\r\n06.12.2026 10:15:30 - Backup created: y"));
    QCOMPARE(log.lines().size(), 1);
    const QString line = log.lines().first();
    QVERIFY(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
    QVERIFY(line.contains(QStringLiteral(" - Backup NOT created: ")));
}

QTEST_GUILESS_MAIN(TestActivityLog)
#include "tst_activitylog.moc"
