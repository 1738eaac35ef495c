#pragma once

#include "platform/shutdownservice.h"

#include <QDBusConnection>

#include <chrono>

namespace platform {

// Timed shutdown through the login manager on the system bus. The machine name is not used:
// the login manager only shuts down the computer it runs on. No privilege needs enabling;
// the login manager decides on each request. No call waits longer than the answer deadline
// for the login manager: no answer by then is a refusal.
class LogindShutdownService : public ShutdownService {
public:
    static constexpr std::chrono::milliseconds defaultAnswerDeadline{10000};

    explicit LogindShutdownService(QDBusConnection bus = QDBusConnection::systemBus(),
                                   std::chrono::milliseconds answerDeadline = defaultAnswerDeadline);

    PrivilegeResult enableShutdownPrivilege() override;
    bool scheduleShutdown(const QString& machine, const QString& message, int seconds) override;
    // A shutdown accepted only after the deadline, when it already counts as refused, is
    // cancelled again: the program has said no shutdown is coming.
    void requestShutdown(const QString& machine, const QString& message, int seconds,
                         std::function<void(bool accepted)> answered) override;
    bool abortShutdown(const QString& machine) override;

private:
    QDBusConnection m_bus;
    std::chrono::milliseconds m_deadline;
};

} // namespace platform
