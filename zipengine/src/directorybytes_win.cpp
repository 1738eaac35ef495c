#include "directorybytes.h"

#include "engineplatform.h"

// Read into memory: a view of a file on Windows keeps the file from being replaced while it lasts.
DirectoryBytes::~DirectoryBytes() = default;

bool DirectoryBytes::load(int fd, std::uint64_t offset, std::size_t size) {
    m_copy.assign(size, '\0');
    if (!engineplatform::readAllAt(fd, m_copy.data(), size, offset))
        return false;
    m_data = m_copy.data();
    m_size = size;
    return true;
}

void DirectoryBytes::release() const {}
