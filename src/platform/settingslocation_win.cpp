#include "platform/settingslocation.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::filesystem::path appDataDirectory() {
    const DWORD size = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(L"APPDATA", value.data(), size));
    return std::filesystem::path(value) / L"Quoralis2005";
}

} // namespace

bool SettingsLocation::canCreateFilesIn(const std::filesystem::path& folder) {
    // Really created: a folder that the access rights seem to open may still refuse.
    const std::filesystem::path probe =
        folder / (L".Quoralis2005-write-test-" + std::to_wstring(GetCurrentProcessId()));
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::filesystem::path SettingsLocation::userSettingsDirectory() {
    return appDataDirectory();
}

std::filesystem::path SettingsLocation::userLogDirectory() {
    return appDataDirectory() / L"logs";
}

} // namespace platform
