#include "schedule/intervaltimer.h"

#include <QSignalSpy>
#include <QTest>

// The backup interval countdown.
class TestIntervalTimer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void countdownText_data();
    void countdownText();
    void tickingShowsTheCountdownInLabelAndTitle();
    void expiryReloadsBeforeAskingForTheBackup();
    void pauseFreezesTheCountdown();
    void untickingStopsAndResetsTheTitle();
    void largeIntervalsDoNotOverflow();
};

void TestIntervalTimer::countdownText_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("30 minutes") << qint64(1800) << "30:00";
    QTest::newRow("59 s") << qint64(59) << "59";
    QTest::newRow("1 minute") << qint64(60) << "01:00";
    QTest::newRow("1 hour") << qint64(3600) << "1:00";
    QTest::newRow("1 hour 5 s") << qint64(3605) << "1:05";
    QTest::newRow("1:01:01") << qint64(3661) << "1:01:01";
    QTest::newRow("1 day") << qint64(86400) << "1 days, 00";
    QTest::newRow("1 day 1:01:01") << qint64(90061) << "1 days, 1:01:01";
    QTest::newRow("zero") << qint64(0) << "00";
}

void TestIntervalTimer::countdownText() {
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(IntervalTimer::CountdownText(seconds), text);
}

void TestIntervalTimer::tickingShowsTheCountdownInLabelAndTitle() {
    IntervalTimer timer;
    QSignalSpy visible(&timer, &IntervalTimer::countdownVisibleChanged);
    QSignalSpy label(&timer, &IntervalTimer::countdownChanged);
    QSignalSpy title(&timer, &IntervalTimer::titleChanged);
    timer.cbAutoClick(true, 30);
    QVERIFY(timer.isRunning());
    QCOMPARE(visible.takeFirst().at(0).toBool(), true);
    QCOMPARE(title.takeFirst().at(0).toString(), QStringLiteral("Quoralis2005"));
    timer.Timer1Timer();
    QCOMPARE(label.takeFirst().at(0).toString(), QStringLiteral("29:59"));
    QCOMPARE(title.takeFirst().at(0).toString(), QStringLiteral("Quoralis in 29:59"));
    // Changing the interval restarts the countdown at the new value.
    timer.cbAutoClick(true, 35);
    QCOMPARE(timer.remainingMs(), qint64(35) * 60 * 1000);
}

void TestIntervalTimer::expiryReloadsBeforeAskingForTheBackup() {
    IntervalTimer timer;
    timer.cbAutoClick(true, 5);
    qint64 remainingWhenDue = -1;
    connect(&timer, &IntervalTimer::backupDue, this, [&] { remainingWhenDue = timer.remainingMs(); });
    for (int i = 0; i < 5 * 60; ++i)
        timer.Timer1Timer();
    QCOMPARE(remainingWhenDue, qint64(5) * 60 * 1000);
}

void TestIntervalTimer::pauseFreezesTheCountdown() {
    IntervalTimer timer;
    timer.cbAutoClick(true, 5);
    timer.Timer1Timer();
    const qint64 before = timer.remainingMs();
    timer.pause();
    QVERIFY(!timer.isRunning());
    QTest::qWait(1200);
    QCOMPARE(timer.remainingMs(), before);
    timer.resume(true);
    QVERIFY(timer.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(timer.remainingMs() < before, 3000);
    timer.resume(false);
    QVERIFY(!timer.isRunning());
}

void TestIntervalTimer::untickingStopsAndResetsTheTitle() {
    IntervalTimer timer;
    timer.cbAutoClick(true, 30);
    QSignalSpy title(&timer, &IntervalTimer::titleChanged);
    QSignalSpy visible(&timer, &IntervalTimer::countdownVisibleChanged);
    timer.cbAutoClick(false, 30);
    QVERIFY(!timer.isRunning());
    QCOMPARE(title.takeFirst().at(0).toString(), QStringLiteral("Quoralis2005"));
    QCOMPARE(visible.takeFirst().at(0).toBool(), false);
}

void TestIntervalTimer::largeIntervalsDoNotOverflow() {
    IntervalTimer timer;
    timer.cbAutoClick(true, 100000);
    QCOMPARE(timer.remainingMs(), qint64(100000) * 60 * 1000);
    QSignalSpy label(&timer, &IntervalTimer::countdownChanged);
    timer.Timer1Timer();
    QCOMPARE(label.takeFirst().at(0).toString(), IntervalTimer::CountdownText(qint64(100000) * 60 - 1));
    QVERIFY(label.isEmpty());
}

QTEST_MAIN(TestIntervalTimer)
#include "tst_intervaltimer.moc"
