#include "platform/autostartentry.h"
#include "platform/autostartentryarguments.h"

#include <windows.h>

namespace platform {

namespace {

const wchar_t* const runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

// The value's text; empty when there is none or it is no string.
std::wstring readValue(HKEY key, const std::wstring& name) {
    DWORD size = 0;
    if (RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = DWORD(value.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    value.resize(value.find(L'\0'));
    return value;
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
    if (RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    // Arguments a user added to the value (such as /minimize) stay when the program is written anew.
    const std::wstring arguments = AutostartEntryArguments::ofCommand(readValue(key, wide(appName)));
    std::wstring data = L"\"" + executablePath.wstring() + L"\"";
    if (!arguments.empty())
        data += L" " + arguments;
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
