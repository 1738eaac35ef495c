#include "entryrecord.h"

#include "entryname.h"
#include "zipformat.h"

#include <algorithm>
#include <climits>

using namespace zipformat;

namespace {

std::uint16_t length16(std::size_t n) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(n, Max16));
}

} // namespace

EntryRecord EntryRecord::forFile(std::string name, std::int64_t mtimeNs, std::uint32_t mode,
                                 std::int64_t readNs) {
    struct timespec mtime {};
    mtime.tv_sec = static_cast<std::time_t>(mtimeNs >= 0 ? mtimeNs / 1000000000
                                                         : -((-mtimeNs + 999999999) / 1000000000));
    mtime.tv_nsec = static_cast<long>(mtimeNs - static_cast<std::int64_t>(mtime.tv_sec) * 1000000000);
    return forFile(std::move(name), mtime, mode, readNs);
}

EntryRecord EntryRecord::forFile(std::string name, const struct timespec& mtime, std::uint32_t mode,
                                 std::int64_t readNs) {
    EntryRecord record;
    // Every name is stored as UTF-8: some readers refuse a whole archive over one name that is not.
    record.flags = FlagUtf8;
    std::string rawNameField;
    if (entryname::isValidUtf8(name)) {
        record.name = std::move(name);
    } else {
        record.name = entryname::storedName(name);
        rawNameField = rawNameExtraField(record.name, name);
    }
    const std::int64_t seconds = mtime.tv_sec;
    const DosDateTime dos = toDosDateTime(seconds);
    record.dosDate = dos.date;
    record.dosTime = dos.time;
    if (seconds >= INT32_MIN && seconds <= INT32_MAX) {
        std::string timestamp;
        put16(timestamp, ExtraTimestamp);
        put16(timestamp, 5);
        timestamp.push_back(1); // modification time present
        put32(timestamp, static_cast<std::uint32_t>(static_cast<std::int32_t>(seconds)));
        record.extra = timestamp;
        record.localExtra = timestamp;
    }
    // The time at the file system's precision (100 ns), which updates compare, and when the file
    // was read: only in the central directory, the one place updates read it from. The local
    // header keeps the Unix time, which readers that go by local headers use.
    record.extra += ntfsExtraField(mtime, readNs);
    record.extra += rawNameField;
    record.localExtra += rawNameField;
    record.versionMadeBy = MadeByUnix | 30;
    record.versionNeeded = VersionDefault;
    record.externalAttributes = (mode & 0xffffu) << 16;
    return record;
}

EntryRecord EntryRecord::copyOf(const ArchiveReader::Entry& entry, const std::string& localExtra) {
    EntryRecord record;
    record.name = entry.storedName;
    record.extra = withoutExtraField(std::string(entry.centralExtra), ExtraZip64);
    record.localExtra = withoutExtraField(localExtra, ExtraZip64);
    record.comment = entry.comment;
    record.versionMadeBy = entry.versionMadeBy;
    record.versionNeeded = entry.versionNeeded;
    record.flags = entry.flags;
    record.method = entry.method;
    record.dosTime = entry.dosTime;
    record.dosDate = entry.dosDate;
    record.crc = entry.crc;
    record.compressedSize = entry.compressedSize;
    record.uncompressedSize = entry.uncompressedSize;
    record.internalAttributes = entry.internalAttributes;
    record.externalAttributes = entry.externalAttributes;
    record.zip64Local = entry.compressedSize > Max32 || entry.uncompressedSize > Max32;
    return record;
}

bool EntryRecord::centralNeedsZip64() const {
    return zip64Local || compressedSize > Max32 || uncompressedSize > Max32 || localOffset >= Max32;
}

std::string EntryRecord::localHeader() const {
    std::string extraField = localExtra;
    if (zip64Local) {
        std::string zip64;
        put16(zip64, ExtraZip64);
        put16(zip64, 16);
        put64(zip64, uncompressedSize);
        put64(zip64, compressedSize);
        extraField = zip64 + extraField;
    }
    std::string out;
    out.reserve(LocalHeaderSize + name.size() + extraField.size());
    put32(out, LocalHeaderSignature);
    put16(out, zip64Local ? std::max<std::uint16_t>(versionNeeded, VersionZip64) : versionNeeded);
    putSharedFields(out);
    put32(out, zip64Local ? Max32 : static_cast<std::uint32_t>(compressedSize));
    put32(out, zip64Local ? Max32 : static_cast<std::uint32_t>(uncompressedSize));
    put16(out, length16(name.size()));
    put16(out, length16(extraField.size()));
    out += name.substr(0, Max16);
    out += extraField.substr(0, Max16);
    return out;
}

void EntryRecord::putSharedFields(std::string& out) const {
    put16(out, flags);
    put16(out, method);
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, crc);
}

std::size_t EntryRecord::localZip64Offset() const {
    return LocalHeaderSize + std::min<std::size_t>(name.size(), Max16) + 4;
}

std::string EntryRecord::centralHeader() const {
    const bool bigUncompressed = zip64Local || uncompressedSize > Max32;
    const bool bigCompressed = zip64Local || compressedSize > Max32;
    const bool bigOffset = localOffset >= Max32;
    std::string extraField = extra;
    if (bigUncompressed || bigCompressed || bigOffset) {
        std::string values;
        if (bigUncompressed)
            put64(values, uncompressedSize);
        if (bigCompressed)
            put64(values, compressedSize);
        if (bigOffset)
            put64(values, localOffset);
        std::string zip64;
        put16(zip64, ExtraZip64);
        put16(zip64, static_cast<std::uint16_t>(values.size()));
        extraField = zip64 + values + extraField;
    }
    const bool zip64 = centralNeedsZip64();
    std::string out;
    out.reserve(CentralHeaderSize + name.size() + extraField.size() + comment.size());
    put32(out, CentralHeaderSignature);
    put16(out, zip64 ? static_cast<std::uint16_t>((versionMadeBy & 0xff00) |
                                                  std::max<int>(versionMadeBy & 0xff, VersionZip64))
                     : versionMadeBy);
    put16(out, zip64 ? std::max<std::uint16_t>(versionNeeded, VersionZip64) : versionNeeded);
    putSharedFields(out);
    put32(out, bigCompressed ? Max32 : static_cast<std::uint32_t>(compressedSize));
    put32(out, bigUncompressed ? Max32 : static_cast<std::uint32_t>(uncompressedSize));
    put16(out, length16(name.size()));
    put16(out, length16(extraField.size()));
    put16(out, length16(comment.size()));
    put16(out, 0); // disk number
    put16(out, internalAttributes);
    put32(out, externalAttributes);
    put32(out, bigOffset ? Max32 : static_cast<std::uint32_t>(localOffset));
    out += name.substr(0, Max16);
    out += extraField.substr(0, Max16);
    out += comment.substr(0, Max16);
    return out;
}

std::string EntryRecord::dataDescriptor() const {
    std::string out;
    put32(out, DataDescriptorSignature);
    put32(out, crc);
    if (zip64Local) {
        put64(out, compressedSize);
        put64(out, uncompressedSize);
    } else {
        put32(out, static_cast<std::uint32_t>(compressedSize));
        put32(out, static_cast<std::uint32_t>(uncompressedSize));
    }
    return out;
}

void EntryRecord::addStoredCrc(std::uint32_t storedCrc) {
    constexpr std::size_t Room = 0xffff - 64; // what a Zip64 field may need besides
    extra = withoutExtraField(extra, ExtraStoredCrc);
    const std::string field = storedCrcExtraField(storedCrc, crc);
    if (extra.size() + field.size() <= Room)
        extra += field;
}
