#include "platform/windowsshutdownservice.h"

#include <windows.h>

namespace platform {

namespace {

// Null for an empty name: the local computer.
const char* machineName(const QByteArray& name) {
    return name.isEmpty() ? nullptr : name.constData();
}

} // namespace

std::unique_ptr<ShutdownService> ShutdownService::createSystemService() {
    return std::make_unique<WindowsShutdownService>();
}

ShutdownService::PrivilegeResult WindowsShutdownService::enableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return PrivilegeResult::CannotOpenToken;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return PrivilegeResult::CannotFindPrivilege;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(ERROR_SUCCESS);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(token);
    return error == ERROR_SUCCESS ? PrivilegeResult::Ok : PrivilegeResult::AdjustFailed;
}

bool WindowsShutdownService::scheduleShutdown(const QString& machine, const QString& message, int seconds) {
    const QByteArray name = machine.toLocal8Bit();
    QByteArray text = message.toLocal8Bit();
    return InitiateSystemShutdownA(const_cast<char*>(machineName(name)), text.data(), DWORD(seconds), TRUE,
                                   FALSE);
}

bool WindowsShutdownService::abortShutdown(const QString& machine) {
    const QByteArray name = machine.toLocal8Bit();
    return AbortSystemShutdownA(const_cast<char*>(machineName(name)));
}

} // namespace platform
