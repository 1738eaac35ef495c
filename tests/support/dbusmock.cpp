#include "dbusmock.h"

#include "helperprocess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QFileInfo>
#include <QTest>

namespace {

const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString busDaemon = QStringLiteral("/usr/bin/dbus-daemon");
// Debian's interpreter, where python3-dbusmock is installed (not one found first on PATH).
const QString python = QStringLiteral("/usr/bin/python3");
constexpr int startTimeoutMs = 15000;

} // namespace

DbusMock::DbusMock(QString templateName, QString service, QString objectPath, Bus bus)
    : m_template(std::move(templateName))
    , m_service(std::move(service))
    , m_path(std::move(objectPath))
    , m_busKind(bus)
    , m_connectionName(QStringLiteral("dbusmock-%1").arg(quintptr(this), 0, 16)) {
    helperprocess::endWithParent(m_bus);
    helperprocess::endWithParent(m_mock);
}

DbusMock::~DbusMock() {
    QDBusConnection::disconnectFromBus(m_connectionName);
    // The mock ends by itself when its bus goes; stopping it first keeps its log quiet.
    helperprocess::stop(m_mock);
    helperprocess::stop(m_bus);
}

QString DbusMock::missingTool() {
    if (!QFileInfo(busDaemon).isExecutable())
        return QStringLiteral("dbus-daemon is not installed (package dbus-daemon)");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
        return QStringLiteral("python3-dbusmock is not installed");
    return QString();
}

bool DbusMock::start() {
    m_bus.start(busDaemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted()) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_bus.errorString();
        return false;
    }
    if (!QTest::qWaitFor([this] { return m_bus.canReadLine(); }, startTimeoutMs)) {
        m_error = QStringLiteral("dbus-daemon printed no address");
        return false;
    }
    m_address = m_bus.readLine().trimmed();

    const bool system = m_busKind == Bus::System;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(system ? QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS")
                              : QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QString::fromUtf8(m_address));
    m_mock.setProcessEnvironment(environment);
    // The mock logs every call on its output; errors still reach the test's output.
    m_mock.setStandardOutputFile(QProcess::nullDevice());
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral("-m"), QStringLiteral("dbusmock")};
    if (system)
        arguments << QStringLiteral("--system");
    arguments << QStringLiteral("--template") << m_template;
    m_mock.start(python, arguments);
    if (!m_mock.waitForStarted()) {
        m_error = QStringLiteral("python3 did not start: ") + m_mock.errorString();
        return false;
    }

    const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(m_address), m_connectionName);
    if (!bus.isConnected()) {
        m_error = QStringLiteral("cannot connect to the private bus: ") + bus.lastError().message();
        return false;
    }
    const bool registered = QTest::qWaitFor(
        [&] {
            return m_mock.state() != QProcess::Running ||
                   bus.interface()->isServiceRegistered(m_service).value();
        },
        startTimeoutMs);
    if (!registered || m_mock.state() != QProcess::Running) {
        m_error = QStringLiteral("the mock of ") + m_service + QStringLiteral(" did not come up");
        return false;
    }
    return true;
}

QDBusConnection DbusMock::connection() const {
    return QDBusConnection(m_connectionName);
}

QDBusMessage DbusMock::callMock(const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, m_path, mockInterface, method);
    call.setArguments(args);
    return connection().call(call);
}

bool DbusMock::succeeded(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    m_error = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    return false;
}

QVariant DbusMock::plainValue(QVariant value) {
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

bool DbusMock::reset() {
    // Reset keeps the record of calls.
    return succeeded(callMock(QStringLiteral("Reset"), {})) &&
           succeeded(callMock(QStringLiteral("ClearCalls"), {}));
}

QList<QVariantList> DbusMock::calls(const QString& method) {
    QList<QVariantList> result;
    const QDBusMessage reply = callMock(QStringLiteral("GetMethodCalls"), {method});
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return result;
    const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        quint64 timestamp = 0;
        QVariantList args;
        list.beginStructure();
        list >> timestamp >> args;
        list.endStructure();
        for (QVariant& arg : args)
            arg = plainValue(arg);
        result.append(args);
    }
    list.endArray();
    return result;
}
