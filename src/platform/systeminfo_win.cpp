#include "platform/systeminfo.h"

#include <windows.h>

namespace platform {

QString SystemInfo::computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length))
        return QString();
    return QString::fromWCharArray(name, int(length));
}

} // namespace platform
