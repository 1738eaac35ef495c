#include "centraldirectory.h"

#include "engineplatform.h"

#include "archiveoutput.h"
#include "folderhandle.h"
#include "zipformat.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

using namespace zipformat;

namespace {
// Records in memory before they go to the spill file; the buffer then holds at most twice this.
constexpr std::size_t MemoryLimit = 1 << 20;
} // namespace

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
        const FolderHandle folder = FolderHandle::open(m_spillFolder);
        m_spillFd = folder.ok() ? folder.createUnnamed(0600) : -1;
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
        const ssize_t n = engineplatform::writeAt(m_spillFd, m_memory.data() + done, m_memory.size() - done,
                                                  static_cast<std::uint64_t>(m_spilled + done));
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

bool CentralDirectory::writeTo(ArchiveOutput& out, const std::string& comment) {
    const std::uint64_t start = out.position();
    if ((m_spilled > 0 && !out.copyFrom(m_spillFd, 0, m_spilled)) || !out.write(m_memory))
        return false;
    const std::uint64_t size = out.position() - start;
    std::string end;
    if (m_count >= Max16 || start >= Max32 || size >= Max32) {
        const std::uint64_t recordAt = out.position();
        put32(end, Zip64EndSignature);
        put64(end, Zip64EndSize - 12);
        put16(end, MadeByUnix | VersionZip64);
        put16(end, VersionZip64);
        put32(end, 0); // this disk
        put32(end, 0); // the disk with the directory
        put64(end, m_count);
        put64(end, m_count);
        put64(end, size);
        put64(end, start);
        put32(end, Zip64LocatorSignature);
        put32(end, 0);
        put64(end, recordAt);
        put32(end, 1); // disks
    }
    put32(end, EndOfCentralSignature);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<std::uint16_t>(std::min<std::uint64_t>(m_count, Max16)));
    put16(end, static_cast<std::uint16_t>(std::min<std::uint64_t>(m_count, Max16)));
    put32(end, static_cast<std::uint32_t>(std::min<std::uint64_t>(size, Max32)));
    put32(end, static_cast<std::uint32_t>(std::min<std::uint64_t>(start, Max32)));
    put16(end, static_cast<std::uint16_t>(comment.size()));
    end += comment;
    return out.write(end);
}
