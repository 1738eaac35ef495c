#pragma once

#include <QString>

#include <memory>

namespace platform {

// A notice on the desktop beside the program's windows, shown by the desktop's own service.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;

    // Never waits and never fails aloud: where no service shows notices, nothing is shown.
    // An urgent notice (a backup that failed) stays until the user dismisses it.
    virtual void notify(const QString& title, const QString& text, bool urgent) = 0;

    // The desktop's service: the freedesktop notification service on the session bus. None where
    // the system has no such service of its own (Windows: the tray icon's balloon shows them).
    static std::unique_ptr<DesktopNotifier> createSystemNotifier();
};

} // namespace platform
