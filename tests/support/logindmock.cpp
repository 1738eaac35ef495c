#include "logindmock.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace {

const QString loginService = QStringLiteral("org.freedesktop.login1");
const QString loginPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");

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

} // namespace

LogindMock::LogindMock()
    : DbusMock(QStringLiteral("logind"), loginService, loginPath, Bus::System) {}

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
