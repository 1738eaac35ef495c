#include "logindmock.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QFileInfo>
#include <QTest>

#if defined(Q_OS_LINUX)
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

const QString loginService = QStringLiteral("org.freedesktop.login1");
const QString loginPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString busDaemon = QStringLiteral("/usr/bin/dbus-daemon");
// Debian's interpreter, where python3-dbusmock is installed (not one found first on PATH).
const QString python = QStringLiteral("/usr/bin/python3");
constexpr int startTimeoutMs = 15000;

// Python run by the mock for each call; `self` is the manager object, `args` the call's arguments.
const QString scheduleCode = QStringLiteral(
    "if args[0] not in ('poweroff', 'reboot', 'halt', 'dry-poweroff', 'dry-reboot', 'dry-halt'):\n"
    "    raise dbus.exceptions.DBusException('Unsupported shutdown type: ' + args[0],\n"
    "                                        name='org.freedesktop.DBus.Error.InvalidArgs')\n"
    "self.Set('org.freedesktop.login1.Manager', 'ScheduledShutdown',\n"
    "         dbus.Struct((args[0], dbus.UInt64(args[1])), signature='st'))\n");
const QString cancelCode =
    QStringLiteral("ret = self.Get('org.freedesktop.login1.Manager', 'ScheduledShutdown')[0] != ''\n"
                   "self.Set('org.freedesktop.login1.Manager', 'ScheduledShutdown',\n"
                   "         dbus.Struct(('', dbus.UInt64(0)), signature='st'))\n");
const QString refuseCode =
    QStringLiteral("raise dbus.exceptions.DBusException('Interactive authentication required.',\n"
                   "                                    "
                   "name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired')\n");

void endWithParent(QProcess& process) {
#if defined(Q_OS_LINUX)
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#else
    Q_UNUSED(process);
#endif
}

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
}

QVariant plainValue(QVariant value) {
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

LogindMock::LogindMock()
    : m_connectionName(QStringLiteral("logindmock-%1").arg(quintptr(this), 0, 16)) {
    endWithParent(m_bus);
    endWithParent(m_mock);
}

LogindMock::~LogindMock() {
    QDBusConnection::disconnectFromBus(m_connectionName);
    // The mock ends by itself when its bus goes; stopping it first keeps its log quiet.
    stop(m_mock);
    stop(m_bus);
}

QString LogindMock::missingTool() {
    if (!QFileInfo(busDaemon).isExecutable())
        return QStringLiteral("dbus-daemon is not installed (package dbus-daemon)");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
        return QStringLiteral("python3-dbusmock is not installed");
    return QString();
}

bool LogindMock::start() {
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

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(m_address));
    m_mock.setProcessEnvironment(environment);
    // The mock logs every call on its output; errors still reach the test's output.
    m_mock.setStandardOutputFile(QProcess::nullDevice());
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(python, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                          QStringLiteral("--template"), QStringLiteral("logind")});
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
                   bus.interface()->isServiceRegistered(loginService).value();
        },
        startTimeoutMs);
    if (!registered || m_mock.state() != QProcess::Running) {
        m_error = QStringLiteral("the login manager mock did not come up");
        return false;
    }
    return true;
}

QDBusConnection LogindMock::connection() const {
    return QDBusConnection(m_connectionName);
}

QDBusMessage LogindMock::callMock(const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(loginService, loginPath, mockInterface, method);
    call.setArguments(args);
    return connection().call(call);
}

bool LogindMock::succeeded(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    m_error = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    return false;
}

bool LogindMock::reset() {
    // Reset keeps the record of calls.
    return succeeded(callMock(QStringLiteral("Reset"), {})) &&
           succeeded(callMock(QStringLiteral("ClearCalls"), {}));
}

bool LogindMock::addManagerMethod(const QString& name, const QString& inSignature,
                                  const QString& outSignature, const QString& code) {
    return succeeded(
        callMock(QStringLiteral("AddMethod"), {managerInterface, name, inSignature, outSignature, code}));
}

bool LogindMock::addScheduledShutdownProperty() {
    QDBusArgument none;
    none.beginStructure();
    none << QString() << quint64(0);
    none.endStructure();
    return succeeded(callMock(QStringLiteral("AddProperty"),
                              {managerInterface, QStringLiteral("ScheduledShutdown"),
                               QVariant::fromValue(QDBusVariant(QVariant::fromValue(none)))}));
}

bool LogindMock::acceptShutdownRequests() {
    return addScheduledShutdownProperty() &&
           addManagerMethod(QStringLiteral("ScheduleShutdown"), QStringLiteral("st"), QString(),
                            scheduleCode) &&
           addManagerMethod(QStringLiteral("CancelScheduledShutdown"), QString(), QStringLiteral("b"),
                            cancelCode);
}

bool LogindMock::refuseShutdownRequests() {
    return addScheduledShutdownProperty() &&
           addManagerMethod(QStringLiteral("ScheduleShutdown"), QStringLiteral("st"), QString(),
                            refuseCode) &&
           addManagerMethod(QStringLiteral("CancelScheduledShutdown"), QString(), QStringLiteral("b"),
                            cancelCode);
}

bool LogindMock::acceptShutdownRequestsOnlyAfter(const QString& pipePath) {
    // The path travels percent-encoded, so no character of it can end the Python string.
    const QString wait = QStringLiteral("import urllib.parse\n"
                                        "with open(urllib.parse.unquote('%1'), 'rb') as pipe:\n"
                                        "    pipe.read()\n")
                             .arg(QString::fromLatin1(pipePath.toUtf8().toPercentEncoding()));
    return addScheduledShutdownProperty() &&
           addManagerMethod(QStringLiteral("ScheduleShutdown"), QStringLiteral("st"), QString(),
                            wait + scheduleCode) &&
           addManagerMethod(QStringLiteral("CancelScheduledShutdown"), QString(), QStringLiteral("b"),
                            cancelCode);
}

QList<QVariantList> LogindMock::calls(const QString& method) {
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

std::pair<QString, quint64> LogindMock::scheduledShutdown() {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(
            loginService, loginPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"))
        << managerInterface << QStringLiteral("ScheduledShutdown");
    const QDBusMessage reply = connection().call(call);
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return {QStringLiteral("<unreadable>"), 0};
    const QDBusArgument value = plainValue(reply.arguments().constFirst()).value<QDBusArgument>();
    QString kind;
    quint64 usec = 0;
    value.beginStructure();
    value >> kind >> usec;
    value.endStructure();
    return {kind, usec};
}
