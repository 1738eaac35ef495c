#include "directorybytes.h"

#include "engineplatform.h"

bool DirectoryBytes::readCopy(int fd, std::uint64_t offset, std::size_t size) {
    m_copy.assign(size, '\0');
    if (!engineplatform::readAllAt(fd, m_copy.data(), size, offset))
        return false;
    m_data = m_copy.data();
    m_size = size;
    return true;
}
