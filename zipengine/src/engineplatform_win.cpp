#include "engineplatform.h"

#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace engineplatform {

const char* const kPathSeparators = "\\/";

namespace {

std::string utf8Of(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

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

std::wstring utf16Of(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring result(std::size_t(size > 0 ? size : 1), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), size);
    result.resize(result.size() - 1);
    return result;
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

// The system handle behind a descriptor; INVALID_HANDLE_VALUE with errno set when there is none.
HANDLE handleOf(int fd) {
    const HANDLE file = HANDLE(_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE)
        errno = EBADF;
    return file;
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

int openForReading(const char* path) {
    return _wopen(utf16Of(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int openUnnamedTemporary(const char*, int) {
    errno = EOPNOTSUPP;
    return -1;
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
