#include "platform/systeminfo.h"

#include <QSysInfo>

namespace platform {

QString SystemInfo::computerName() {
    return QSysInfo::machineHostName();
}

QString SystemInfo::osDescription() {
    // The distribution's pretty name (os-release) and the running kernel's version.
    return QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion();
}

} // namespace platform
