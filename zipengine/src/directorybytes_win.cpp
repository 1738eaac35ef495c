#include "directorybytes.h"

// Read into memory: a view of a file on Windows keeps the file from being replaced while it lasts.
DirectoryBytes::~DirectoryBytes() = default;

bool DirectoryBytes::load(int fd, std::uint64_t offset, std::size_t size) {
    return readCopy(fd, offset, size);
}

void DirectoryBytes::release() const {}
