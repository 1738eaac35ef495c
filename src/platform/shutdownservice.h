#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace platform {

// Timed shutdown of the computer, replaceable by a recording fake in tests.
class ShutdownService {
public:
    enum class PrivilegeResult { Ok, CannotOpenToken, CannotFindPrivilege, AdjustFailed };

    virtual ~ShutdownService() = default;

    // Makes sure this process may shut the computer down.
    virtual PrivilegeResult enableShutdownPrivilege() = 0;
    // Asks the system to power the computer off in `seconds`, showing `message` where the
    // system can. Returns false when the request was refused or could not be made.
    virtual bool scheduleShutdown(const QString& machine, const QString& message, int seconds) = 0;
    // The same request without waiting for the system: `answered` is called once on the calling
    // thread, with whether the request was accepted. A system that does not answer in time has
    // refused. By default the request is made with scheduleShutdown and answered at once.
    virtual void requestShutdown(const QString& machine, const QString& message, int seconds,
                                 std::function<void(bool accepted)> answered) {
        answered(scheduleShutdown(machine, message, seconds));
    }
    // Cancels a scheduled shutdown; false when there was none to cancel, or when that was
    // refused or could not be asked.
    virtual bool abortShutdown(const QString& machine) = 0;

    // The service of the operating system the program runs on.
    static std::unique_ptr<ShutdownService> createSystemService();
};

} // namespace platform
