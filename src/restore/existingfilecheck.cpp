#include "restore/existingfilecheck.h"

#include "engineplatform.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

constexpr std::size_t ChunkSize = 1 << 20;

// CRC-32 of the whole file; false when it cannot be read to the end.
bool crcOfFile(int fd, std::uint64_t size, std::uint32_t& crc) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, ChunkSize)));
    std::uint64_t offset = 0;
    crc = 0;
    while (offset < size) {
        const std::int64_t n = engineplatform::readAt(fd, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n)));
        offset += static_cast<std::uint64_t>(n);
    }
    // A file that grew since its status was taken is not the entry's copy either.
    unsigned char more = 0;
    return engineplatform::readAt(fd, &more, 1, offset) == 0;
}

} // namespace

bool ExistingFileCheck::sameTime(std::int64_t fileMtimeNs, const ArchiveReader::Entry& entry) {
    const std::int64_t difference = fileMtimeNs - entry.mtimeNs;
    return difference < entry.timeStepNs && -difference < entry.timeStepNs;
}

bool ExistingFileCheck::holdsEntry(const FolderHandle& folder, const std::string& name,
                                   const FolderHandle::Status& status, const ArchiveReader::Entry& entry) {
    if (status.kind != FolderHandle::Kind::File || status.size != entry.uncompressedSize ||
        !sameTime(status.mtimeNs, entry))
        return false;
    const int fd = folder.openFile(name);
    if (fd < 0)
        return false;
    std::uint32_t crc = 0;
    const bool read = crcOfFile(fd, status.size, crc);
    engineplatform::closeFile(fd);
    return read && crc == entry.crc;
}
