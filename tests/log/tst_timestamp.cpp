#include "log/timestamp.h"

#include <QTest>

// The timestamps of log lines, log file names and dated archive names.
class TestTimestamp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shortDateAndLongTimeWithoutZone();
    void midnightIsTheDateAlone();
    void fileNameTextReplacesSeparators();
};

void TestTimestamp::shortDateAndLongTimeWithoutZone() {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDateTime moment(QDate(2026, 12, 6), QTime(10, 15, 30));
    const QString text = Timestamp::text(moment, us);
    QCOMPARE(text, us.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                       us.toString(moment.time(), QStringLiteral("h:mm:ss AP")));
    const QLocale german(QLocale::German, QLocale::Germany);
    QCOMPARE(Timestamp::text(moment, german), QStringLiteral("06.12.26 10:15:30"));
}

void TestTimestamp::midnightIsTheDateAlone() {
    const QLocale german(QLocale::German, QLocale::Germany);
    QCOMPARE(Timestamp::text(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0)), german),
             QStringLiteral("06.12.26"));
    QCOMPARE(Timestamp::text(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 1)), german),
             QStringLiteral("06.12.26 00:00:01"));
}

void TestTimestamp::fileNameTextReplacesSeparators() {
    const QDateTime moment(QDate(2026, 12, 6), QTime(10, 15, 30));
    const QString name = Timestamp::fileNameText(moment, QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(!name.contains(QRegularExpression(QStringLiteral("[ :/\\\\-]"))));
    QVERIFY(name.startsWith(QStringLiteral("12_6_26_10_15_30")));
    QCOMPARE(Timestamp::fileNameText(moment, QLocale(QLocale::German, QLocale::Germany)),
             QStringLiteral("06.12.26_10_15_30"));
}

QTEST_MAIN(TestTimestamp)
#include "tst_timestamp.moc"
