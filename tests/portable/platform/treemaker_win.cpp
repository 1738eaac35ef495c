#include "treemaker.h"

#include <windows.h>

namespace treemaker {

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t unixEpochInFileTime = 116444736000000000LL;

std::wstring longForm(const std::filesystem::path& path) {
    const std::wstring absolute = std::filesystem::absolute(path).make_preferred().native();
    return absolute.starts_with(L"\\\\?\\") ? absolute : L"\\\\?\\" + absolute;
}

} // namespace

bool makeFolder(const std::filesystem::path& path) {
    return CreateDirectoryW(longForm(path).c_str(), nullptr);
}

bool makeFile(const std::filesystem::path& path, std::uint64_t size) {
    const HANDLE file = CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    return CloseHandle(file) && sized;
}

bool setModified(const std::filesystem::path& path, std::int64_t unixNs) {
    const HANDLE file = CreateFileW(
        longForm(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::uint64_t ticks = static_cast<std::uint64_t>(unixNs / 100 + unixEpochInFileTime);
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &time);
    return CloseHandle(file) && set;
}

bool setHiddenAttribute(const std::filesystem::path& path) {
    const std::wstring name = longForm(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           SetFileAttributesW(name.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
}

bool setEnvironment(const char* name, const std::string& value) {
    const std::u8string utf8(value.begin(), value.end());
    return SetEnvironmentVariableW(std::filesystem::path(name).c_str(), std::filesystem::path(utf8).c_str());
}

const char* systemName() {
    return "windows";
}

bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

} // namespace treemaker
