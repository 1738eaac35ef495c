#include "platform/processlock.h"

#include <utility>

#include <windows.h>

namespace platform {

namespace {

constexpr DWORD kPublishedLimit = 4096;
// A file whose last holder has just let go is gone only once every reader of what it published
// has closed it too; until then it cannot be opened.
constexpr int kDeletePendingAttempts = 20;
constexpr DWORD kDeletePendingPauseMs = 5;

HANDLE handleOf(void* handle) {
    return static_cast<HANDLE>(handle);
}

} // namespace

ProcessLock::ProcessLock(std::filesystem::path file)
    : m_file(std::move(file)) {}

ProcessLock::~ProcessLock() {
    unlock();
}

ProcessLock::Result ProcessLock::tryLock() {
    if (m_handle)
        return Result::Locked;
    for (int attempt = 0;; ++attempt) {
        // Shared for reading only, so others can read what is published but no second holder
        // can open it; removed by the system when the handle is closed, also when the process
        // is killed.
        const HANDLE file =
            CreateFileW(m_file.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_handle = file;
            return Result::Locked;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            return Result::HeldElsewhere;
        if (error != ERROR_ACCESS_DENIED || attempt + 1 >= kDeletePendingAttempts)
            return Result::Failed;
        Sleep(kDeletePendingPauseMs);
    }
}

void ProcessLock::unlock() {
    if (!m_handle)
        return;
    CloseHandle(handleOf(m_handle));
    m_handle = nullptr;
}

bool ProcessLock::isLocked() const {
    return m_handle != nullptr;
}

bool ProcessLock::publish(std::string_view text) {
    if (!m_handle)
        return false;
    const HANDLE file = handleOf(m_handle);
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file) &&
           WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
           written == DWORD(text.size());
}

std::string ProcessLock::published() const {
    const HANDLE file =
        CreateFileW(m_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text(kPublishedLimit, '\0');
    DWORD got = 0;
    if (!ReadFile(file, text.data(), kPublishedLimit, &got, nullptr))
        got = 0;
    CloseHandle(file);
    text.resize(got);
    return text;
}

} // namespace platform
