#include "platform/logindshutdownservice.h"

#include <QDateTime>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTimer>

namespace platform {

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString path = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
// How long a late answer to a request that timed out is still watched for, to withdraw it.
constexpr int lateAnswerWatchMs = 10 * 60 * 1000;

QDBusMessage scheduleCall(int seconds) {
    const qint64 whenUsec = (QDateTime::currentMSecsSinceEpoch() + qint64(seconds) * 1000) * 1000;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, managerInterface, QStringLiteral("ScheduleShutdown"));
    call << QStringLiteral("poweroff") << QVariant::fromValue(quint64(whenUsec));
    return call;
}

QDBusMessage cancelCall() {
    return QDBusMessage::createMethodCall(service, path, managerInterface,
                                          QStringLiteral("CancelScheduledShutdown"));
}

} // namespace

std::unique_ptr<ShutdownService> ShutdownService::createSystemService() {
    return std::make_unique<LogindShutdownService>();
}

LogindShutdownService::LogindShutdownService(QDBusConnection bus, std::chrono::milliseconds answerDeadline)
    : m_bus(std::move(bus))
    , m_deadline(answerDeadline) {}

ShutdownService::PrivilegeResult LogindShutdownService::enableShutdownPrivilege() {
    return PrivilegeResult::Ok;
}

bool LogindShutdownService::scheduleShutdown(const QString&, const QString&, int seconds) {
    if (!m_bus.isConnected())
        return false;
    return m_bus.call(scheduleCall(seconds), QDBus::Block, int(m_deadline.count())).type() ==
           QDBusMessage::ReplyMessage;
}

void LogindShutdownService::requestShutdown(const QString&, const QString&, int seconds,
                                            std::function<void(bool accepted)> answered) {
    if (!m_bus.isConnected()) {
        answered(false);
        return;
    }
    // The call itself may wait long for its answer; the deadline is kept by a timer, so that a
    // late acceptance is still seen and withdrawn.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(scheduleCall(seconds), lateAnswerWatchMs));
    auto* deadline = new QTimer(watcher);
    deadline->setSingleShot(true);
    auto pending = std::make_shared<std::function<void(bool)>>(std::move(answered));
    QObject::connect(deadline, &QTimer::timeout, watcher, [pending] {
        if (auto answer = std::exchange(*pending, nullptr))
            answer(false);
    });
    QDBusConnection bus = m_bus;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [pending, bus, watcher] {
        watcher->deleteLater();
        const bool accepted = !watcher->isError();
        if (auto answer = std::exchange(*pending, nullptr))
            answer(accepted);
        else if (accepted)
            bus.asyncCall(cancelCall());
    });
    deadline->start(m_deadline);
}

bool LogindShutdownService::abortShutdown(const QString&) {
    if (!m_bus.isConnected())
        return false;
    const QDBusMessage reply = m_bus.call(cancelCall(), QDBus::Block, int(m_deadline.count()));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    // The answer says whether a shutdown was scheduled and is now cancelled.
    return reply.arguments().isEmpty() || reply.arguments().constFirst().toBool();
}

} // namespace platform
