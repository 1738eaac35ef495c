#include "platform/logindshutdownservice.h"

#include <QDateTime>
#include <QDBusMessage>

namespace platform {

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString path = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

std::unique_ptr<ShutdownService> ShutdownService::createSystemService() {
    return std::make_unique<LogindShutdownService>();
}

LogindShutdownService::LogindShutdownService(QDBusConnection bus)
    : m_bus(std::move(bus)) {}

ShutdownService::PrivilegeResult LogindShutdownService::enableShutdownPrivilege() {
    return PrivilegeResult::Ok;
}

bool LogindShutdownService::scheduleShutdown(const QString&, const QString&, int seconds) {
    if (!m_bus.isConnected())
        return false;
    const qint64 whenUsec = (QDateTime::currentMSecsSinceEpoch() + qint64(seconds) * 1000) * 1000;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, managerInterface, QStringLiteral("ScheduleShutdown"));
    call << QStringLiteral("poweroff") << QVariant::fromValue(quint64(whenUsec));
    return m_bus.call(call).type() == QDBusMessage::ReplyMessage;
}

bool LogindShutdownService::abortShutdown(const QString&) {
    if (!m_bus.isConnected())
        return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(service, path, managerInterface,
                                                             QStringLiteral("CancelScheduledShutdown"));
    const QDBusMessage reply = m_bus.call(call);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    // The answer says whether a shutdown was scheduled and is now cancelled.
    return reply.arguments().isEmpty() || reply.arguments().constFirst().toBool();
}

} // namespace platform
