#include "platform/processlock.h"

#include <utility>

#include <windows.h>

namespace platform {

ProcessLock::ProcessLock(std::filesystem::path file)
    : m_file(std::move(file)) {}

ProcessLock::~ProcessLock() {
    unlock();
}

ProcessLock::Result ProcessLock::tryLock() {
    if (m_handle)
        return Result::Locked;
    // Sharing nothing: every other open of the file fails until this handle is closed, which
    // the system does when the process ends.
    const HANDLE file = CreateFileW(m_file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Result::HeldElsewhere : Result::Failed;
    m_handle = file;
    return Result::Locked;
}

void ProcessLock::unlock() {
    if (!m_handle)
        return;
    CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
}

bool ProcessLock::isLocked() const {
    return m_handle != nullptr;
}

bool ProcessLock::publish(const QByteArray& text) {
    if (!m_handle)
        return false;
    const HANDLE file = static_cast<HANDLE>(m_handle);
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file) &&
           WriteFile(file, text.constData(), DWORD(text.size()), &written, nullptr) &&
           written == DWORD(text.size());
}

QByteArray ProcessLock::published() const {
    // The holder shares nothing of the file: nobody else reads it while it is held.
    return {};
}

} // namespace platform
