#include "archivelock.h"

#include "engineplatform_win.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <filesystem>
#include <string_view>

// Here the lock is the file's sharing: a lock file is opened with no sharing at all and goes
// when its handle closes, so a second job, of this process or another, cannot open it.
namespace {

std::wstring widePath(const std::string& utf8) {
    return engineplatform::win::systemPath(utf8.c_str());
}

HANDLE openUnshared(const std::string& path, DWORD disposition) {
    return CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, disposition,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

} // namespace

// The user's own temporary folder, which nobody else may write to.
std::string ArchiveLock::runtimeFolder() {
    std::error_code ec;
    const std::u8string folder = std::filesystem::temp_directory_path(ec).u8string();
    if (ec || folder.empty())
        return std::string();
    std::string bytes(folder.begin(), folder.end());
    while (bytes.size() > 1 && (bytes.back() == '\\' || bytes.back() == '/'))
        bytes.pop_back();
    return bytes;
}

ArchiveLock::Result ArchiveLock::takeLegacyLock(const std::string& target) {
    const HANDLE handle = openUnshared(legacyLockPathFor(target), OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Result::InUse : Result::Held;
    CloseHandle(handle); // a leftover of a job that ended without taking it away: gone with the handle
    return Result::Held;
}

int ArchiveLock::holdLockFile(const std::string& path, Result& failure) {
    const HANDLE handle = openUnshared(path, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
        failure = GetLastError() == ERROR_SHARING_VIOLATION ? Result::InUse : Result::Unsupported;
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR);
    if (fd < 0) {
        CloseHandle(handle);
        failure = Result::Unsupported;
    }
    return fd;
}

void ArchiveLock::release() {
    if (m_fd < 0)
        return;
    _close(m_fd); // the file goes with its last handle
    m_fd = -1;
    m_path.clear();
}
