#include "logindmock.h"
#include "platform/logindshutdownservice.h"

#include <QDateTime>
#include <QTest>

using platform::LogindShutdownService;
using platform::ShutdownService;

// The login manager is played by a mock on a private bus that stands in for the system bus.
class ShutdownServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void privilegeNeedsNothing();
    void unsupportedManagerRefuses();
    void schedulesPowerOffAfterSeconds();
    void refusalIsReported();
    void abortCancelsOnlyAScheduledShutdown();
    void missingBusRefuses();
    void systemServiceIsLogind();

private:
    LogindMock m_logind;
};

void ShutdownServiceTest::initTestCase() {
    if (const QString missing = LogindMock::missingTool(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(m_logind.start(), qPrintable(m_logind.error()));
    // The service's default bus is the system bus, connected at its first use after this.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_logind.address());
}

void ShutdownServiceTest::init() {
    QVERIFY2(m_logind.reset(), qPrintable(m_logind.error()));
}

void ShutdownServiceTest::privilegeNeedsNothing() {
    LogindShutdownService service;
    QCOMPARE(service.enableShutdownPrivilege(), ShutdownService::PrivilegeResult::Ok);
}

void ShutdownServiceTest::unsupportedManagerRefuses() {
    // The bare template knows neither method: the calls fail.
    QVERIFY(m_logind.acceptShutdownRequests());
    QVERIFY2(m_logind.reset(), qPrintable(m_logind.error()));
    LogindShutdownService service;
    QVERIFY(!service.scheduleShutdown(QStringLiteral("host"),
                                      QStringLiteral("Quoralis2005 - Backups complete"), 30));
    QVERIFY(!service.abortShutdown(QStringLiteral("host")));
}

void ShutdownServiceTest::schedulesPowerOffAfterSeconds() {
    QVERIFY2(m_logind.acceptShutdownRequests(), qPrintable(m_logind.error()));
    LogindShutdownService service;
    const qint64 before = QDateTime::currentMSecsSinceEpoch() * 1000;
    QVERIFY(service.scheduleShutdown(QStringLiteral("host"),
                                     QStringLiteral("Quoralis2005 - Backups complete"), 30));
    const qint64 after = QDateTime::currentMSecsSinceEpoch() * 1000;

    const QList<QVariantList> recorded = m_logind.calls(QStringLiteral("ScheduleShutdown"));
    QCOMPARE(recorded.size(), 1);
    QCOMPARE(recorded[0].size(), 2);
    QCOMPARE(recorded[0][0].toString(), QStringLiteral("poweroff"));
    const qint64 when = recorded[0][1].toLongLong();
    QVERIFY2(when >= before + 30000000 && when <= after + 30000000,
             qPrintable(QString::number(when - before)));
    QCOMPARE(m_logind.scheduledShutdown(), std::make_pair(QStringLiteral("poweroff"), quint64(when)));
}

void ShutdownServiceTest::refusalIsReported() {
    QVERIFY2(m_logind.refuseShutdownRequests(), qPrintable(m_logind.error()));
    LogindShutdownService service;
    QVERIFY(!service.scheduleShutdown(QString(), QStringLiteral("Quoralis2005 - Backups complete"), 30));
    QCOMPARE(m_logind.calls(QStringLiteral("ScheduleShutdown")).size(), 1);
    QCOMPARE(m_logind.scheduledShutdown().first, QString());
}

void ShutdownServiceTest::abortCancelsOnlyAScheduledShutdown() {
    QVERIFY2(m_logind.acceptShutdownRequests(), qPrintable(m_logind.error()));
    LogindShutdownService service;
    QVERIFY2(!service.abortShutdown(QStringLiteral("host")), "nothing was scheduled, nothing was cancelled");

    QVERIFY(service.scheduleShutdown(QStringLiteral("host"), QString(), 30));
    QVERIFY(service.abortShutdown(QStringLiteral("host")));
    QCOMPARE(m_logind.scheduledShutdown().first, QString());
    QVERIFY(!service.abortShutdown(QStringLiteral("host")));
    QCOMPARE(m_logind.calls(QStringLiteral("CancelScheduledShutdown")).size(), 3);
}

void ShutdownServiceTest::missingBusRefuses() {
    LogindShutdownService service(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/quoralis-bus"), QStringLiteral("none")));
    QVERIFY(!service.scheduleShutdown(QString(), QString(), 30));
    QVERIFY(!service.abortShutdown(QString()));
}

void ShutdownServiceTest::systemServiceIsLogind() {
    QVERIFY2(m_logind.acceptShutdownRequests(), qPrintable(m_logind.error()));
    const auto service = ShutdownService::createSystemService();
    QVERIFY(service->scheduleShutdown(QString(), QString(), 30));
    QVERIFY(service->abortShutdown(QString()));
    QCOMPARE(m_logind.calls(QStringLiteral("CancelScheduledShutdown")).size(), 1);
}

QTEST_GUILESS_MAIN(ShutdownServiceTest)
#include "tst_shutdownservice.moc"
