#include "platform/logindshutdownservice.h"

#include <QDateTime>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using platform::LogindShutdownService;
using platform::ShutdownService;

namespace {

const QString loginService = QStringLiteral("org.freedesktop.login1");
const QString loginPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString python = QStringLiteral("/usr/bin/python3");

struct RecordedCall {
    QVariantList args;
};

} // namespace

// The login manager is played by python3-dbusmock's logind template on a private bus that
// stands in for the system bus.
class ShutdownServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void privilegeNeedsNothing();
    void unsupportedManagerRefuses();
    void schedulesPowerOffAfterSeconds();
    void refusalIsReported();
    void abortCancelsScheduledShutdown();
    void missingBusRefuses();
    void systemServiceIsLogind();

private:
    QDBusMessage callMock(const QString& method, const QVariantList& args);
    void addMethod(const QString& name, const QString& inSignature, const QString& outSignature,
                   const QString& code);
    QList<RecordedCall> calls(const QString& method);

    QProcess m_bus;
    QProcess m_mock;
};

void ShutdownServiceTest::initTestCase() {
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/dbus-daemon")))
        QSKIP("dbus-daemon is not installed (package dbus-daemon)");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
        QSKIP("python3-dbusmock is not installed");

    m_bus.start(
        QStringLiteral("/usr/bin/dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    // The connection to the "system" bus is made at its first use, after this.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(address));
    m_mock.setProcessEnvironment(environment);
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(python, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                          QStringLiteral("--template"), QStringLiteral("logind")});
    QVERIFY(m_mock.waitForStarted());
    QDBusConnection bus = QDBusConnection::systemBus();
    QVERIFY(bus.isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(loginService).value(), 15000);
}

void ShutdownServiceTest::cleanupTestCase() {
    for (QProcess* process : {&m_mock, &m_bus}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished();
        }
    }
}

void ShutdownServiceTest::init() {
    QCOMPARE(callMock(QStringLiteral("ClearCalls"), {}).type(), QDBusMessage::ReplyMessage);
}

QDBusMessage ShutdownServiceTest::callMock(const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(loginService, loginPath, mockInterface, method);
    call.setArguments(args);
    return QDBusConnection::systemBus().call(call);
}

void ShutdownServiceTest::addMethod(const QString& name, const QString& inSignature,
                                    const QString& outSignature, const QString& code) {
    const QDBusMessage reply =
        callMock(QStringLiteral("AddMethod"), {managerInterface, name, inSignature, outSignature, code});
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

QList<RecordedCall> ShutdownServiceTest::calls(const QString& method) {
    QList<RecordedCall> result;
    const QDBusMessage reply = callMock(QStringLiteral("GetMethodCalls"), {method});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return result;
    const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        quint64 timestamp = 0;
        QVariantList args;
        list.beginStructure();
        list >> timestamp >> args;
        list.endStructure();
        for (QVariant& arg : args) {
            if (arg.canConvert<QDBusVariant>())
                arg = arg.value<QDBusVariant>().variant();
        }
        result.append({args});
    }
    list.endArray();
    return result;
}

void ShutdownServiceTest::privilegeNeedsNothing() {
    LogindShutdownService service;
    QCOMPARE(service.enableShutdownPrivilege(), ShutdownService::PrivilegeResult::Ok);
}

void ShutdownServiceTest::unsupportedManagerRefuses() {
    // The template knows neither method until the test adds them: the calls fail.
    LogindShutdownService service;
    QVERIFY(!service.scheduleShutdown(QStringLiteral("host"),
                                      QStringLiteral("Quoralis2005 - Backups complete"), 30));
    QVERIFY(!service.abortShutdown(QStringLiteral("host")));
}

void ShutdownServiceTest::schedulesPowerOffAfterSeconds() {
    addMethod(QStringLiteral("ScheduleShutdown"), QStringLiteral("st"), QString(), QString());
    LogindShutdownService service;
    const qint64 before = QDateTime::currentMSecsSinceEpoch() * 1000;
    QVERIFY(service.scheduleShutdown(QStringLiteral("host"),
                                     QStringLiteral("Quoralis2005 - Backups complete"), 30));
    const qint64 after = QDateTime::currentMSecsSinceEpoch() * 1000;

    const QList<RecordedCall> recorded = calls(QStringLiteral("ScheduleShutdown"));
    QCOMPARE(recorded.size(), 1);
    QCOMPARE(recorded[0].args.size(), 2);
    QCOMPARE(recorded[0].args[0].toString(), QStringLiteral("poweroff"));
    const qint64 when = recorded[0].args[1].toLongLong();
    QVERIFY2(when >= before + 30000000 && when <= after + 30000000,
             qPrintable(QString::number(when - before)));
}

void ShutdownServiceTest::refusalIsReported() {
    addMethod(QStringLiteral("ScheduleShutdown"), QStringLiteral("st"), QString(),
              QStringLiteral("raise dbus.exceptions.DBusException('Interactive authentication required.', "
                             "name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired')"));
    LogindShutdownService service;
    QVERIFY(!service.scheduleShutdown(QString(), QStringLiteral("Quoralis2005 - Backups complete"), 30));
    QCOMPARE(calls(QStringLiteral("ScheduleShutdown")).size(), 1);
}

void ShutdownServiceTest::abortCancelsScheduledShutdown() {
    addMethod(QStringLiteral("CancelScheduledShutdown"), QString(), QStringLiteral("b"),
              QStringLiteral("ret = True"));
    LogindShutdownService service;
    QVERIFY(service.abortShutdown(QStringLiteral("host")));
    QCOMPARE(calls(QStringLiteral("CancelScheduledShutdown")).size(), 1);

    addMethod(QStringLiteral("CancelScheduledShutdown"), QString(), QStringLiteral("b"),
              QStringLiteral("ret = False"));
    QVERIFY2(!service.abortShutdown(QStringLiteral("host")), "nothing was scheduled, nothing was cancelled");
}

void ShutdownServiceTest::missingBusRefuses() {
    LogindShutdownService service(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/quoralis-bus"), QStringLiteral("none")));
    QVERIFY(!service.scheduleShutdown(QString(), QString(), 30));
    QVERIFY(!service.abortShutdown(QString()));
}

void ShutdownServiceTest::systemServiceIsLogind() {
    addMethod(QStringLiteral("CancelScheduledShutdown"), QString(), QStringLiteral("b"),
              QStringLiteral("ret = True"));
    const auto service = ShutdownService::createSystemService();
    QVERIFY(service->abortShutdown(QString()));
    QCOMPARE(calls(QStringLiteral("CancelScheduledShutdown")).size(), 1);
}

QTEST_GUILESS_MAIN(ShutdownServiceTest)
#include "tst_shutdownservice.moc"
