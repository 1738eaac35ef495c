#include "backupset/formatsize.h"

#include <QTest>

// The size text: strict thresholds, two decimals rounded half up, the locale's separator.
class FormatSizeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thresholds_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("0 bytes");
        QTest::newRow("1024") << qint64(1024) << QStringLiteral("1024 bytes");
        QTest::newRow("1025") << qint64(1025) << QStringLiteral("1.00 Kb");
        QTest::newRow("half up") << qint64(1152) << QStringLiteral("1.13 Kb");
        QTest::newRow("just below half") << qint64(1151) << QStringLiteral("1.12 Kb");
        QTest::newRow("1048575") << qint64(1048575) << QStringLiteral("1024.00 Kb");
        QTest::newRow("1048576") << qint64(1048576) << QStringLiteral("1.00 Mb");
        QTest::newRow("1073741824") << qint64(1073741824) << QStringLiteral("1024.00 Mb");
        QTest::newRow("1073741825") << qint64(1073741825) << QStringLiteral("1.00 Gb");
        QTest::newRow("no thousands separator") << qint64(5497558138880) << QStringLiteral("5120.00 Gb");
        QTest::newRow("largest") << std::numeric_limits<qint64>::max() << QStringLiteral("8589934592.00 Gb");
        QTest::newRow("negative") << qint64(-1) << QStringLiteral("-1 bytes");
        QTest::newRow("very negative") << qint64(-5000000) << QStringLiteral("-5000000 bytes");
    }
    void thresholds() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(FormatSize(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), text);
    }

    void decimalSeparatorIsTheLocales() {
        QCOMPARE(FormatSize(1536, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("1,50 Kb"));
        QCOMPARE(FormatSize(5497558138880, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("5120,00 Gb"));
        QCOMPARE(FormatSize(1536),
                 QStringLiteral("1") + QLocale::system().decimalPoint() + QStringLiteral("50 Kb"));
    }
};

QTEST_GUILESS_MAIN(FormatSizeTest)
#include "tst_formatsize.moc"
