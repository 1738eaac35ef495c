#include "archivereader.h"

#include "engineplatform.h"

#include "zipformat.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace zipformat;

namespace {

// 32 bits keep the index at eight bytes an entry; names that share a hash are told apart by
// their bytes.
std::uint32_t hashName(std::string_view name) {
    const std::uint64_t h = zipformat::nameHash(name);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

const unsigned char* bytes(const std::string& s, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

const unsigned char* bytes(const DirectoryBytes& directory, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(directory.data()) + at;
}

} // namespace

ArchiveReader::~ArchiveReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ArchiveReader::fail(const std::string& text, bool damaged) {
    m_error = text;
    m_damaged = damaged;
    return false;
}

bool ArchiveReader::readAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    return engineplatform::readAllAt(m_fd, buffer, size, offset);
}

bool ArchiveReader::open(const std::string& path) {
    const int fd = engineplatform::openForReading(path.c_str());
    if (fd < 0)
        return fail(std::strerror(errno), false);
    return openFd(fd);
}

bool ArchiveReader::openFd(int fd, bool findByName) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    m_findByName = findByName;
    engineplatform::FileStatus st;
    if (engineplatform::openFileStatus(m_fd, st) != 0)
        return fail(std::strerror(errno), false);
    if (!st.isFile())
        return fail("not a regular file", true);
    m_fileSize = static_cast<std::uint64_t>(st.size);
    if (m_fileSize < EndOfCentralSize)
        return fail("too short for a ZIP archive", true);

    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_fileSize, 0xffff + EndOfCentralSize));
    std::string tail(tailSize, '\0');
    if (!readAt(m_fileSize - tailSize, tail.data(), tailSize))
        return fail(std::strerror(errno ? errno : EIO), false);
    std::int64_t found = -1;
    for (std::int64_t at = static_cast<std::int64_t>(tailSize - EndOfCentralSize); at >= 0; --at) {
        const unsigned char* p = bytes(tail, static_cast<std::size_t>(at));
        if (get32(p) == EndOfCentralSignature &&
            static_cast<std::size_t>(at) + EndOfCentralSize + get16(p + 20) <= tailSize) {
            found = at;
            break;
        }
    }
    if (found < 0)
        return fail("no end-of-central-directory record", true);
    const unsigned char* eocd = bytes(tail, static_cast<std::size_t>(found));
    const std::uint64_t eocdOffset = m_fileSize - tailSize + static_cast<std::uint64_t>(found);
    if (get16(eocd + 4) != 0 || get16(eocd + 6) != 0)
        return fail("archives on several disks are not supported", true);
    m_comment.assign(reinterpret_cast<const char*>(eocd + EndOfCentralSize), get16(eocd + 20));
    std::uint64_t entries = get16(eocd + 10);
    std::uint64_t directorySize = get32(eocd + 12);
    std::uint64_t directoryOffset = get32(eocd + 16);
    std::uint64_t directoryEnd = eocdOffset;

    // A Zip64 locator just in front of the record points at the Zip64 end record.
    if (eocdOffset >= Zip64LocatorSize + Zip64EndSize) {
        unsigned char locator[Zip64LocatorSize];
        if (readAt(eocdOffset - Zip64LocatorSize, locator, sizeof locator) &&
            get32(locator) == Zip64LocatorSignature) {
            const std::uint64_t recordAt = eocdOffset - Zip64LocatorSize - Zip64EndSize;
            unsigned char record[Zip64EndSize];
            if (!readAt(recordAt, record, sizeof record) || get32(record) != Zip64EndSignature)
                return fail("damaged Zip64 end record", true);
            entries = get64(record + 32);
            directorySize = get64(record + 40);
            directoryOffset = get64(record + 48);
            directoryEnd = recordAt;
        }
    }
    if (directorySize > directoryEnd || directorySize > (std::uint64_t{1} << 32) ||
        entries > directorySize / CentralHeaderSize + 1)
        return fail("damaged central directory", true);
    const std::uint64_t directoryStart = directoryEnd - directorySize;
    m_shift = static_cast<std::int64_t>(directoryStart) - static_cast<std::int64_t>(directoryOffset);
    if (m_shift < 0)
        return fail("damaged central directory", true);
    return readDirectory(directoryStart, directorySize, entries);
}

bool ArchiveReader::readDirectory(std::uint64_t directoryOffset, std::uint64_t directorySize,
                                  std::uint64_t entries) {
    if (!m_directory.load(m_fd, directoryOffset, static_cast<std::size_t>(directorySize)))
        return fail("cannot read the central directory", true);
    m_offsets.reserve(static_cast<std::size_t>(entries));
    std::size_t pos = 0;
    while (pos + CentralHeaderSize <= m_directory.size()) {
        const unsigned char* p = bytes(m_directory, pos);
        if (get32(p) != CentralHeaderSignature)
            break;
        const std::size_t length = CentralHeaderSize + get16(p + 28) + get16(p + 30) + get16(p + 32);
        if (pos + length > m_directory.size())
            return fail("damaged central directory", true);
        m_offsets.push_back(static_cast<std::uint32_t>(pos));
        pos += length;
        m_directory.looked();
    }
    if (m_offsets.size() != entries)
        return fail("the central directory does not hold the entries it announces", true);
    if (!m_findByName) {
        m_superseded.assign(m_offsets.size(), false);
        m_directory.release();
        return true;
    }
    m_index.reserve(m_offsets.size());
    for (std::uint32_t i = 0; i < m_offsets.size(); ++i)
        m_index.emplace_back(hashName(nameOf(i)), i);
    std::sort(m_index.begin(), m_index.end());
    markSuperseded();
    m_directory.release();
    return true;
}

void ArchiveReader::markSuperseded() {
    // Another tool may have written one name twice; extractors then disagree about which one a
    // user gets. The current one is the newest (the later one when both times are equal).
    m_superseded.assign(m_offsets.size(), false);
    m_supersededCount = 0;
    for (std::size_t k = 1; k < m_index.size(); ++k) {
        if (m_index[k].first != m_index[k - 1].first)
            continue;
        const std::uint32_t later = m_index[k].second;
        const Entry laterEntry = entry(later);
        for (std::size_t j = k; j-- > 0 && m_index[j].first == m_index[k].first;) {
            const std::uint32_t earlier = m_index[j].second;
            if (m_superseded[earlier])
                continue;
            const Entry earlierEntry = entry(earlier);
            if (earlierEntry.name != laterEntry.name)
                continue;
            const bool laterIsCurrent = laterEntry.mtimeNs >= earlierEntry.mtimeNs;
            m_superseded[laterIsCurrent ? earlier : later] = true;
            ++m_supersededCount;
            if (!laterIsCurrent)
                break;
        }
    }
}

ArchiveReader::Entry ArchiveReader::entry(std::size_t index) const {
    m_directory.looked();
    const std::size_t at = m_offsets[index];
    const unsigned char* p = bytes(m_directory, at);
    Entry e;
    e.versionMadeBy = get16(p + 4);
    e.versionNeeded = get16(p + 6);
    e.flags = get16(p + 8);
    e.method = get16(p + 10);
    e.dosTime = get16(p + 12);
    e.dosDate = get16(p + 14);
    e.crc = get32(p + 16);
    e.compressedSize = get32(p + 20);
    e.uncompressedSize = get32(p + 24);
    const std::size_t nameLength = get16(p + 28);
    const std::size_t extraLength = get16(p + 30);
    const std::size_t commentLength = get16(p + 32);
    e.internalAttributes = get16(p + 36);
    e.externalAttributes = get32(p + 38);
    e.localOffset = get32(p + 42);
    e.storedName = std::string_view(m_directory.data() + at + CentralHeaderSize, nameLength);
    e.name = e.storedName;
    e.centralExtra = std::string_view(m_directory.data() + at + CentralHeaderSize + nameLength, extraLength);
    e.comment = std::string_view(m_directory.data() + at + CentralHeaderSize + nameLength + extraLength,
                                 commentLength);

    const auto* extra = reinterpret_cast<const unsigned char*>(e.centralExtra.data());
    const unsigned char* field = nullptr;
    std::size_t fieldSize = 0;
    if (findExtraField(extra, extraLength, ExtraZip64, field, fieldSize)) {
        std::size_t used = 0;
        auto next = [&](std::uint64_t& value) {
            if (value == Max32 && used + 8 <= fieldSize) {
                value = get64(field + used);
                used += 8;
            }
        };
        next(e.uncompressedSize);
        next(e.compressedSize);
        next(e.localOffset);
    }
    if (findExtraField(extra, extraLength, ExtraRawName, field, fieldSize))
        rawNameOf(field, fieldSize, e.storedName, e.name);
    std::int64_t ticks = 0;
    std::int64_t accessTicks = 0;
    if (findExtraField(extra, extraLength, ExtraNtfs, field, fieldSize) &&
        ntfsTicks(field, fieldSize, ticks, accessTicks)) {
        e.mtimeNs = unixNsOf(ticks);
        e.mtime = unixTimeOf(ticks);
        e.readNs = accessTicks > 0 ? unixNsOf(accessTicks) : 0;
        e.timeStepNs = NtfsTickNs;
    } else if (findExtraField(extra, extraLength, ExtraTimestamp, field, fieldSize) && fieldSize >= 5 &&
               (field[0] & 1)) {
        e.mtime.tv_sec = static_cast<std::int32_t>(get32(field + 1));
        e.mtimeNs = std::int64_t{static_cast<std::int32_t>(get32(field + 1))} * 1000000000;
        e.timeStepNs = 1000000000;
    } else {
        e.mtime.tv_sec = static_cast<std::time_t>(fromDosDateTime(e.dosDate, e.dosTime));
        e.mtimeNs = fromDosDateTime(e.dosDate, e.dosTime) * 1000000000;
    }
    e.localOffset += static_cast<std::uint64_t>(m_shift);
    return e;
}

std::string_view ArchiveReader::nameOf(std::size_t index) const {
    m_directory.looked();
    const std::size_t at = m_offsets[index];
    const unsigned char* p = bytes(m_directory, at);
    const std::size_t nameLength = get16(p + 28);
    const std::string_view stored(m_directory.data() + at + CentralHeaderSize, nameLength);
    std::string_view name = stored;
    const unsigned char* field = nullptr;
    std::size_t fieldSize = 0;
    if (findExtraField(p + CentralHeaderSize + nameLength, get16(p + 30), ExtraRawName, field, fieldSize))
        rawNameOf(field, fieldSize, stored, name);
    return name;
}

std::int64_t ArchiveReader::find(std::string_view name, std::size_t likely) const {
    if (likely < count() && !m_superseded[likely] && nameOf(likely) == name)
        return static_cast<std::int64_t>(likely);
    return find(name);
}

std::int64_t ArchiveReader::find(std::string_view name) const {
    const std::uint32_t h = hashName(name);
    auto it = std::lower_bound(m_index.begin(), m_index.end(), std::make_pair(h, std::uint32_t{0}));
    for (; it != m_index.end() && it->first == h; ++it) {
        if (!m_superseded[it->second] && nameOf(it->second) == name)
            return it->second;
    }
    return -1;
}

bool ArchiveReader::locateData(const Entry& entry, std::uint64_t& dataOffset, std::string& localExtra) const {
    unsigned char header[LocalHeaderSize];
    if (entry.localOffset + LocalHeaderSize > m_fileSize ||
        !readAt(entry.localOffset, header, sizeof header) || get32(header) != LocalHeaderSignature)
        return false;
    const std::size_t nameLength = get16(header + 26);
    const std::size_t extraLength = get16(header + 28);
    localExtra.resize(extraLength);
    const std::uint64_t extraAt = entry.localOffset + LocalHeaderSize + nameLength;
    if (extraLength > 0 && !readAt(extraAt, localExtra.data(), extraLength))
        return false;
    dataOffset = extraAt + extraLength;
    return dataOffset + entry.compressedSize <= m_fileSize;
}
