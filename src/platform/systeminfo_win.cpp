#include "platform/systeminfo.h"

#include <windows.h>

#include <string>

namespace platform {

QString SystemInfo::computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length))
        return QString();
    return QString::fromWCharArray(name, int(length));
}

QString SystemInfo::osDescription() {
    // The product name and version the system keeps in the registry; a value that cannot be
    // read is taken as empty.
    const auto read = [](const wchar_t* value) {
        wchar_t buffer[256];
        DWORD size = sizeof(buffer);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", value,
                         RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
            return QString();
        return QString::fromWCharArray(buffer);
    };
    return read(L"ProductName") + QLatin1Char(' ') + read(L"CurrentVersion");
}

std::filesystem::path SystemInfo::programDirectory() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2); // cut short: try again with room for a long path
    }
}

} // namespace platform

namespace platform {

QString SystemInfo::programDirectoryText() {
    return folderText(programDirectory());
}

QString SystemInfo::folderText(const std::filesystem::path& folder) {
    // Windows names are UTF-16 text: a folder's own name always is one.
    return QString::fromStdWString(folder.wstring());
}

} // namespace platform
