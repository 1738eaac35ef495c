#include "engineplatform.h"

#include "engineplatform_win.h"
#include "zipformat.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <mutex>
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

std::wstring systemPath(const char* utf8Path) {
    std::wstring path = utf16Of(utf8Path);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.empty() || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    return full;
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

std::size_t rootLength(std::string_view path) {
    // Skips `count` names after `at`, each with the "/" after it.
    const auto afterNames = [&](std::size_t at, int count) {
        for (; count > 0 && at < path.size(); --count) {
            const std::size_t slash = path.find('/', at);
            at = slash == std::string_view::npos ? path.size() : slash + 1;
        }
        return at;
    };
    std::size_t at = 0;
    if (path.rfind("//?/", 0) == 0 || path.rfind("//./", 0) == 0) {
        at = 4;
        if (path.compare(at, 4, "UNC/") == 0)
            at = afterNames(at + 4, 2);
        else if (path.size() >= at + 2 && path[at + 1] == ':')
            at += 2;
        else
            at = afterNames(at, 1); // a volume's own name
    } else if (path.rfind("//", 0) == 0) {
        at = afterNames(2, 2);
    } else if (path.size() >= 2 && path[1] == ':') {
        at = 2;
    }
    while (at < path.size() && path[at] == '/')
        ++at;
    return at;
}

namespace {

using win::handleOf;
using win::systemPath;
using win::utf16Of;
using win::utf8Of;

// Calls that use or move a descriptor's position take the lock of its descriptor, so that a read
// or write at an offset, which moves it here, can put it back before anyone else sees it.
std::mutex& positionLockOf(int fd) {
    static std::mutex locks[64];
    return locks[static_cast<unsigned>(fd) % 64];
}

// Runs `transfer` (a ReadFile or WriteFile at an offset) and puts the file's position back as it was.
template <typename Transfer> std::int64_t keepingPosition(int fd, HANDLE file, Transfer transfer) {
    const std::lock_guard<std::mutex> lock(positionLockOf(fd));
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT)) {
        win::errnoFromLastError();
        return -1;
    }
    const std::int64_t moved = transfer();
    const int error = errno;
    SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
    errno = error;
    return moved;
}

timespec timespecOf(const FILETIME& time) {
    const std::int64_t ns = win::nanosecondsOf(time);
    std::int64_t seconds = ns / 1000000000;
    if (ns % 1000000000 < 0)
        --seconds;
    return timespec{static_cast<std::time_t>(seconds), static_cast<long>(ns - seconds * 1000000000)};
}

// Unix bits for the system's attributes: what a file made by a user with the usual mask has.
std::uint32_t modeOf(DWORD attributes, DWORD fileType) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return S_IFDIR | 0755;
    if (fileType != FILE_TYPE_DISK)
        return fileType == FILE_TYPE_PIPE ? _S_IFIFO : S_IFCHR;
    return S_IFREG | ((attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0644);
}

int statusOfHandle(HANDLE file, FileStatus& st) {
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (type != FILE_TYPE_DISK) {
        st = FileStatus{};
        st.mode = modeOf(0, type);
        return 0;
    }
    if (!GetFileInformationByHandle(file, &info)) {
        win::errnoFromLastError();
        return -1;
    }
    st.mode = modeOf(info.dwFileAttributes, type);
    st.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    st.mtime = timespecOf(info.ftLastWriteTime);
    st.device = info.dwVolumeSerialNumber;
    st.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return 0;
}

int statusOfPath(const char* path, FileStatus& st, bool ownLink) {
    const std::wstring wide = systemPath(path);
    const HANDLE file = CreateFileW(
        wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (ownLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const int rc = statusOfHandle(file, st);
        CloseHandle(file);
        return rc;
    }
    // A file the system lets nobody open (a page file, say) still tells its attributes, though
    // not its identity.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        win::errnoFromLastError();
        return -1;
    }
    st = FileStatus{};
    st.mode = modeOf(data.dwFileAttributes, FILE_TYPE_DISK);
    st.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    st.mtime = timespecOf(data.ftLastWriteTime);
    return 0;
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
    return keepingPosition(fd, file, [&]() -> std::int64_t {
        OVERLAPPED overlapped = at(offset);
        DWORD moved = 0;
        if (!ReadFile(file, buffer, partOf(size), &moved, &overlapped))
            return GetLastError() == ERROR_HANDLE_EOF ? 0 : (errno = EIO, -1);
        return moved;
    });
}

std::int64_t writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset) {
    const HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    return keepingPosition(fd, file, [&]() -> std::int64_t {
        OVERLAPPED overlapped = at(offset);
        DWORD moved = 0;
        if (!WriteFile(file, buffer, partOf(size), &moved, &overlapped)) {
            errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
            return -1;
        }
        return moved;
    });
}

std::int64_t writeSome(int fd, const void* buffer, std::size_t size) {
    const std::lock_guard<std::mutex> lock(positionLockOf(fd));
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
    const std::lock_guard<std::mutex> lock(positionLockOf(fd));
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
    const std::wstring wide = systemPath(path.c_str());
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
    // Others may read, write, rename and delete the file meanwhile, as they may where files are
    // only names: a previous archive open here never keeps the new one from taking its place.
    const HANDLE file = CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        win::errnoFromLastError();
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        errno = EMFILE;
    }
    return fd;
}

int linkStatus(const char* path, FileStatus& st) {
    return statusOfPath(path, st, true);
}

int fileStatus(const char* path, FileStatus& st) {
    return statusOfPath(path, st, false);
}

int openFileStatus(int fd, FileStatus& st) {
    const HANDLE file = handleOf(fd);
    return file == INVALID_HANDLE_VALUE ? -1 : statusOfHandle(file, st);
}

bool isHidden(const char* path) {
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

bool renameFile(const char* from, const char* to) {
    if (!MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        win::errnoFromLastError();
        return false;
    }
    return true;
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

// main() is handed the arguments in the system's legacy code page, which cannot hold every name.
std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8Of(wide[i], -1).c_str());
    LocalFree(wide);
    return arguments;
}

} // namespace engineplatform
