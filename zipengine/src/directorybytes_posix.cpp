#include "directorybytes.h"

#include <sys/mman.h>
#include <unistd.h>

DirectoryBytes::~DirectoryBytes() {
    unload();
}

void DirectoryBytes::unload() {
    if (m_map != nullptr)
        ::munmap(m_map, m_mapSize);
    m_map = nullptr;
    m_mapSize = 0;
    m_copy = std::string();
    m_data = "";
    m_size = 0;
}

bool DirectoryBytes::load(int fd, std::uint64_t offset, std::size_t size) {
    unload();
    if (size == 0)
        return true;
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset - offset % page;
    const auto lead = static_cast<std::size_t>(offset - start);
    void* map = ::mmap(nullptr, lead + size, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(start));
    if (map != MAP_FAILED) {
        ::madvise(map, lead + size, MADV_SEQUENTIAL);
        m_map = map;
        m_mapSize = lead + size;
        m_data = static_cast<const char*>(map) + lead;
        m_size = size;
        return true;
    }
    // A file system without mappings: the bytes are read.
    return readCopy(fd, offset, size);
}

void DirectoryBytes::release() const {
    // The mapping is read-only: what is dropped is only this process's hold on pages of the
    // system's cache, read back from the file when looked at again.
    if (m_map != nullptr)
        ::madvise(m_map, m_mapSize, MADV_DONTNEED);
}
