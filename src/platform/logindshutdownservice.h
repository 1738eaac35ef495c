#pragma once

#include "platform/shutdownservice.h"

#include <QDBusConnection>

namespace platform {

// Timed shutdown through the login manager on the system bus. The machine name is not used:
// the login manager only shuts down the computer it runs on. No privilege needs enabling;
// the login manager decides on each request.
class LogindShutdownService : public ShutdownService {
public:
    explicit LogindShutdownService(QDBusConnection bus = QDBusConnection::systemBus());

    PrivilegeResult enableShutdownPrivilege() override;
    bool scheduleShutdown(const QString& machine, const QString& message, int seconds) override;
    bool abortShutdown(const QString& machine) override;

private:
    QDBusConnection m_bus;
};

} // namespace platform
