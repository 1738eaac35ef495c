#pragma once

#include <filesystem>

namespace platform {

// A file open for reading through a C library descriptor, closed when this goes. Opening never
// waits: a named pipe without a writer, a device or a terminal is opened without blocking and
// never becomes the process's terminal, so the caller can look at what it got (fstat) and refuse
// it. The descriptor is not inherited by programs started later.
class ReadOnlyFile {
public:
    // Sets errno when the file cannot be opened; isOpen() then says false.
    explicit ReadOnlyFile(const std::filesystem::path& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

private:
    int m_fd;
};

} // namespace platform
