#pragma once

#include "platform/shutdownservice.h"

namespace platform {

// Timed shutdown with the Win32 calls, on the named machine.
class WindowsShutdownService : public ShutdownService {
public:
    PrivilegeResult enableShutdownPrivilege() override;
    bool scheduleShutdown(const QString& machine, const QString& message, int seconds) override;
    bool abortShutdown(const QString& machine) override;
};

} // namespace platform
