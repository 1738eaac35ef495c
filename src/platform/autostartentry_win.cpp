#include "platform/autostartentry.h"

#include <windows.h>

namespace platform {

namespace {

const wchar_t* const runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

} // namespace

bool AutostartEntry::isRegistered(const QString& appName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, runKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool exists =
        RegQueryValueExW(key, wide(appName).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

bool AutostartEntry::registerProgram(const QString& appName, const std::filesystem::path& executablePath) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const std::wstring data = L"\"" + executablePath.wstring() + L"\"";
    const bool written =
        RegSetValueExW(key, wide(appName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       DWORD((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool AutostartEntry::unregister(const QString& appName) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegDeleteValueW(key, wide(appName).c_str());
    RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

} // namespace platform
