#pragma once

#include <filesystem>

namespace platform {

// Whether a file is in use, so that it must not be replaced now: true when it exists and
// cannot be opened for reading and writing, or when another process holds a lock on it
// (a write lock of fcntl, an open file description lock, or an exclusive flock). False when
// the file does not exist.
// Caution: opening and closing the file drops any fcntl lock that this process itself holds
// on it through another descriptor; do not ask about files the program keeps locked.
bool isFileInUse(const std::filesystem::path& path);

} // namespace platform
