#include "engineplatform.h"

#include "engineplatform_win.h"
#include "zipformat.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace engineplatform {

namespace win {

std::string utf8Of(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring utf16Of(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring result(std::size_t(size > 0 ? size : 1), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), size);
    result.resize(result.size() - 1);
    return result;
}

int errnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        errno = ENOENT;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_NOT_SAME_DEVICE:
        errno = EXDEV;
        break;
    case ERROR_DIRECTORY:
        errno = ENOTDIR;
        break;
    case ERROR_DIR_NOT_EMPTY:
        errno = ENOTEMPTY;
        break;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        errno = EINVAL;
        break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        errno = EOPNOTSUPP;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        errno = ENAMETOOLONG;
        break;
    case ERROR_WRITE_PROTECT:
        errno = EROFS;
        break;
    default:
        errno = EIO;
        break;
    }
    return errno;
}

HANDLE handleOf(int fd) {
    const HANDLE file = HANDLE(_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE)
        errno = EBADF;
    return file;
}

std::wstring finalPathOf(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            errnoFromLastError();
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length + 1); // the size asked for, with the terminating zero
    }
}

FILETIME fileTimeOf(const timespec& time) {
    const std::int64_t ticks = zipformat::ntfsTicksOf(time);
    const std::uint64_t bits = std::uint64_t(std::max<std::int64_t>(ticks, 0));
    FILETIME result;
    result.dwLowDateTime = DWORD(bits & 0xFFFFFFFFu);
    result.dwHighDateTime = DWORD(bits >> 32);
    return result;
}

std::int64_t nanosecondsOf(const FILETIME& time) {
    const std::uint64_t ticks = (std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return zipformat::unixNsOf(static_cast<std::int64_t>(ticks));
}

} // namespace win

const char* const kPathSeparators = "\\/";

namespace {

using win::handleOf;
using win::utf16Of;
using win::utf8Of;

std::string fileOfModule(HMODULE module) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, name.data(), DWORD(name.size()));
        if (length == 0)
            return std::string();
        if (length < name.size())
            return utf8Of(name.data(), int(length));
        name.resize(name.size() * 2);
    }
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED overlapped{};
    overlapped.Offset = DWORD(offset & 0xFFFFFFFFu);
    overlapped.OffsetHigh = DWORD(offset >> 32);
    return overlapped;
}

// One call moves at most what a DWORD counts.
DWORD partOf(std::size_t size) {
    return size > 0x40000000u ? DWORD(0x40000000u) : DWORD(size);
}

} // namespace

std::int64_t readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    const HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    OVERLAPPED overlapped = at(offset);
    DWORD moved = 0;
    if (!ReadFile(file, buffer, partOf(size), &moved, &overlapped))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : (errno = EIO, -1);
    return moved;
}

std::int64_t writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset) {
    const HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    OVERLAPPED overlapped = at(offset);
    DWORD moved = 0;
    if (!WriteFile(file, buffer, partOf(size), &moved, &overlapped)) {
        errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
        return -1;
    }
    return moved;
}

std::int64_t writeSome(int fd, const void* buffer, std::size_t size) {
    return _write(fd, buffer, unsigned(std::min<std::size_t>(size, 0x40000000u)));
}

int closeFile(int fd) {
    return _close(fd);
}

bool syncFile(int fd) {
    return _commit(fd) == 0;
}

// The system writes back by itself; there is no call to start it early.
void startWriteback(int, std::uint64_t, std::uint64_t) {}

bool truncateFile(int fd, std::uint64_t size) {
    if (_chsize_s(fd, static_cast<__int64>(size)) != 0)
        return false;
    return _lseeki64(fd, static_cast<__int64>(size), SEEK_SET) >= 0;
}

std::int64_t copyRange(int, std::uint64_t&, int, std::size_t) {
    errno = ENOSYS;
    return -1;
}

// The only permission a file has of its own here is being read-only.
void setFileMode(int fd, std::uint32_t mode) {
    const HANDLE file = handleOf(fd);
    FILE_BASIC_INFO info{};
    if (file == INVALID_HANDLE_VALUE ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info))
        return;
    DWORD attributes = info.FileAttributes & ~DWORD(FILE_ATTRIBUTE_NORMAL);
    if ((mode & 0222) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    else
        attributes &= ~DWORD(FILE_ATTRIBUTE_READONLY);
    FILE_BASIC_INFO change{}; // times of 0 stay as they are
    change.FileAttributes = attributes != 0 ? attributes : DWORD(FILE_ATTRIBUTE_NORMAL);
    SetFileInformationByHandle(file, FileBasicInfo, &change, sizeof change);
}

void setFileTimes(int fd, const timespec& mtime, bool accessToo) {
    const HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const FILETIME time = win::fileTimeOf(mtime);
    SetFileTime(file, nullptr, accessToo ? &time : nullptr, &time);
}

// A new file takes the permissions of its folder here.
void copyPermissions(int, const char*) {}

bool linkedPath(const std::string& path, std::string& next) {
    const std::wstring wide = utf16Of(path.c_str());
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    // The system follows the whole chain; a link whose target is missing stays as it is.
    const HANDLE target = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE)
        return false;
    std::wstring resolved = win::finalPathOf(target);
    CloseHandle(target);
    if (resolved.empty())
        return false;
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0)
        resolved = resolved.substr(4);
    next = utf8Of(resolved.c_str(), int(resolved.size()));
    return next != path;
}

// Files here have no creation mask.
std::uint32_t fileCreationMask() {
    return 0;
}

int openForReading(const char* path) {
    return _wopen(utf16Of(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int linkStatus(const char* path, struct stat& st) {
    struct _stat64 wide {};
    if (_wstat64(utf16Of(path).c_str(), &wide) != 0)
        return -1;
    st = {};
    st.st_dev = wide.st_dev;
    st.st_ino = wide.st_ino;
    st.st_mode = wide.st_mode;
    st.st_nlink = wide.st_nlink;
    st.st_size = static_cast<decltype(st.st_size)>(wide.st_size);
    st.st_atime = static_cast<decltype(st.st_atime)>(wide.st_atime);
    st.st_mtime = static_cast<decltype(st.st_mtime)>(wide.st_mtime);
    st.st_ctime = static_cast<decltype(st.st_ctime)>(wide.st_ctime);
    return 0;
}

// The C library here has one status call for both.
int fileStatus(const char* path, struct stat& st) {
    return linkStatus(path, st);
}

timespec modificationTime(const struct stat& st) {
    return timespec{st.st_mtime, 0};
}

bool localTime(std::time_t t, std::tm& local) {
    return localtime_s(&local, &t) == 0;
}

std::string moduleFileOf(const void* symbol) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(symbol), &module))
        return std::string();
    return fileOfModule(module);
}

std::string programFile() {
    return fileOfModule(nullptr);
}

} // namespace engineplatform
