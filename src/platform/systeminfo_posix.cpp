#include "platform/systeminfo.h"

#include <QSysInfo>

namespace platform {

QString SystemInfo::computerName() {
    return QSysInfo::machineHostName();
}

} // namespace platform
