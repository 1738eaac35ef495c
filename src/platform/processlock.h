#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// An exclusive lock between processes, named by a file (made when missing, removed by a holder that
// lets go; on Linux left by one that was killed, on Windows removed with it). The holder may publish
// a short text in the file for others to read, such as where it can be reached. On Linux a file
// another user owns is never used. The system drops the lock when its holder ends, however it ends,
// so a killed holder never blocks the next one. Two objects on the same file exclude each other even
// inside one process.
class ProcessLock {
public:
    enum class Result { Locked, HeldElsewhere, Failed };

    explicit ProcessLock(std::filesystem::path file);
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    // Takes the lock if nobody holds it; never waits for a holder (on Windows it may wait some
    // milliseconds for the file a holder just let go to be removed).
    Result tryLock();
    void unlock();
    bool isLocked() const;
    // As the holder: replaces what the file says. False when it could not be written.
    bool publish(std::string_view text);
    // What the holder published (at most 4096 bytes); empty when nothing is, or the file is not
    // the user's own.
    std::string published() const;
    const std::filesystem::path& file() const { return m_file; }

private:
    std::filesystem::path m_file;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace platform
