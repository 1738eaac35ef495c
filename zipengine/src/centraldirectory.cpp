#include "centraldirectory.h"

#include "archiveoutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {
constexpr std::size_t MemoryLimit = 8 << 20;
}

CentralDirectory::CentralDirectory(std::string spillFolder)
    : m_spillFolder(std::move(spillFolder)) {}

CentralDirectory::~CentralDirectory() {
    if (m_spillFd >= 0)
        ::close(m_spillFd);
}

bool CentralDirectory::add(const std::string& record) {
    m_memory += record;
    ++m_count;
    return m_memory.size() < MemoryLimit || spill();
}

bool CentralDirectory::spill() {
    if (m_spillFd < 0) {
        m_spillFd = ::open(m_spillFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_spillFd < 0) {
            std::FILE* file = std::tmpfile();
            if (file == nullptr)
                return false;
            m_spillFd = ::dup(::fileno(file));
            std::fclose(file);
            if (m_spillFd < 0)
                return false;
        }
    }
    std::size_t done = 0;
    while (done < m_memory.size()) {
        const ssize_t n = ::pwrite(m_spillFd, m_memory.data() + done, m_memory.size() - done,
                                   static_cast<off_t>(m_spilled + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    m_spilled += m_memory.size();
    m_memory.clear();
    return true;
}

bool CentralDirectory::writeTo(ArchiveOutput& out) {
    if (m_spilled > 0 && !out.copyFrom(m_spillFd, 0, m_spilled))
        return false;
    return out.write(m_memory);
}
