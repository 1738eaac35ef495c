#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// A file being restored: written without a name (or under a hidden temporary name where the file
// system has no unnamed files) and given its name only when complete, so that a cancel, a failure
// or a kill never leaves a partial file under the real name.
class PendingFile {
public:
    // `folder` is an open folder descriptor, not taken over.
    explicit PendingFile(int folder);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool write(const char* data, std::size_t size);
    // Mode and modification time; the access time is set to the same moment.
    void finish(std::uint32_t mode, const struct timespec& mtime);
    // Gives the file its name: fails (EEXIST) when the name is taken, or replaces what is there.
    bool place(const std::string& name, bool replace);
    // Drops the file (also done by the destructor when it was not placed).
    void discard();

private:
    bool linkUnder(const std::string& name);

    int m_folder;
    int m_fd = -1;
    std::string m_tempName; // empty for an unnamed file
    bool m_placed = false;
};
