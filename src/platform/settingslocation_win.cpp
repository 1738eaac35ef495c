#include "platform/settingslocation.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::filesystem::path environmentFolder(const wchar_t* variable) {
    const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(variable, value.data(), size));
    return value;
}

std::filesystem::path appDataDirectory() {
    const std::filesystem::path appData = environmentFolder(L"APPDATA");
    return appData.empty() ? appData : appData / L"Quoralis2005";
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

bool SettingsLocation::isSystemFolder(const std::filesystem::path& folder) {
    // An elevated process may write into the program folders; one user's files never belong there.
    const std::wstring inside = folder.lexically_normal().native();
    for (const wchar_t* variable : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"}) {
        const std::wstring root = environmentFolder(variable).lexically_normal().native();
        if (!root.empty() && inside.size() > root.size() &&
            CompareStringOrdinal(inside.c_str(), static_cast<int>(root.size()), root.c_str(),
                                 static_cast<int>(root.size()), TRUE) == CSTR_EQUAL &&
            (inside[root.size()] == L'\\' || inside[root.size()] == L'/'))
            return true;
    }
    return false;
}

std::filesystem::path SettingsLocation::userSettingsDirectory() {
    return appDataDirectory();
}

std::filesystem::path SettingsLocation::userLogDirectory() {
    return appDataDirectory() / L"logs";
}

} // namespace platform
