#pragma once

#include <filesystem>

namespace platform {

// Why a file may not be replaced now. Free also when there is no such file.
enum class FileUse {
    Free,
    InUse,              // another process holds a lock on it, or it cannot be opened for writing now
    Folder,             // a folder has the name
    NotRegular,         // a pipe, socket or device has the name
    ReadOnly,           // marked read-only, or immutable
    ReadOnlyFileSystem, // on a file system mounted read-only
    Unreachable,        // it cannot even be looked at
};

// Looks at the file the name leads to (through links), without ever opening anything but a
// regular file, so a pipe never blocks the caller.
FileUse fileUse(const std::filesystem::path& path);

// Whether a file is in use, so that it must not be replaced now: true when it exists and
// cannot be opened for reading and writing, or when another process holds a lock on it
// (a write lock of fcntl, an open file description lock, or an exclusive flock). False when
// the file does not exist.
// Caution: opening and closing the file drops any fcntl lock that this process itself holds
// on it through another descriptor; do not ask about files the program keeps locked.
bool isFileInUse(const std::filesystem::path& path);

} // namespace platform
