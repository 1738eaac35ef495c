#include "platform/desktopnotifier.h"

namespace platform {

std::unique_ptr<DesktopNotifier> DesktopNotifier::createSystemNotifier() {
    // Windows shows a program's notices as balloons of its tray icon, which the windows own.
    return nullptr;
}

} // namespace platform
