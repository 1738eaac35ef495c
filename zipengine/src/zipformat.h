#pragma once

#include <ctime>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Record layouts and little-endian helpers of the ZIP container.
namespace zipformat {

constexpr std::uint32_t LocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t CentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t EndOfCentralSignature = 0x06054b50;
constexpr std::uint32_t Zip64EndSignature = 0x06064b50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t DataDescriptorSignature = 0x08074b50;

constexpr std::size_t LocalHeaderSize = 30;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t EndOfCentralSize = 22;
constexpr std::size_t Zip64EndSize = 56;
constexpr std::size_t Zip64LocatorSize = 20;

constexpr std::uint16_t MethodStore = 0;
constexpr std::uint16_t MethodDeflate = 8;

constexpr std::uint16_t FlagEncrypted = 0x0001;
constexpr std::uint16_t FlagDataDescriptor = 0x0008;
constexpr std::uint16_t FlagUtf8 = 0x0800;

constexpr std::uint16_t ExtraZip64 = 0x0001;
constexpr std::uint16_t ExtraTimestamp = 0x5455;
constexpr std::uint16_t ExtraNtfs = 0x000a;
// Our own field: the CRC-32 of an entry's stored bytes as they were when they last inflated to the
// entry's CRC, and that CRC. A later check of unchanged bytes then needs no inflating.
constexpr std::uint16_t ExtraStoredCrc = 0x5143;
// Our own field for a file name that is not valid UTF-8: the entry stores a UTF-8 rendition of it
// and this field the exact bytes (version 1, CRC-32 of the stored name, the bytes). A reader takes
// the bytes only while the CRC matches the stored name, so a tool that renamed the entry wins.
constexpr std::uint16_t ExtraRawName = 0x514e;

// Windows file times: 100-ns ticks since 1601-01-01 (UTC), as the NTFS extra field holds them.
constexpr std::int64_t NtfsTickNs = 100;
constexpr std::int64_t NtfsEpochTicks = 116444736000000000; // 1601 to 1970
std::int64_t ntfsTicksOf(std::int64_t unixNs);
// Exact for every time from 1601 to the year 30828, also past what nanoseconds in 64 bits hold.
std::int64_t ntfsTicksOf(const struct timespec& unixTime);
// Held at the ends of the range (1677 to 2262) instead of wrapping round.
std::int64_t unixNsOf(std::int64_t ntfsTicks);
std::int64_t nanosecondsOf(const struct timespec& unixTime);
// An NTFS extra field (tag, size and data): the modification time, and as access time the moment
// the file was read for the archive.
std::string ntfsExtraField(std::int64_t mtimeNs, std::int64_t readNs);
std::string ntfsExtraField(const struct timespec& mtime, std::int64_t readNs);
// Exact for every tick count, also past what nanoseconds in 64 bits hold.
struct timespec unixTimeOf(std::int64_t ntfsTicks);
// The modification and access times of an NTFS extra field's data; false when it holds none.
bool ntfsTicks(const unsigned char* data, std::size_t size, std::int64_t& mtimeTicks,
               std::int64_t& atimeTicks);
bool ntfsTimes(const unsigned char* data, std::size_t size, std::int64_t& mtimeNs, std::int64_t& atimeNs);

constexpr std::uint32_t Max32 = 0xffffffffu;
constexpr std::uint16_t Max16 = 0xffffu;

constexpr std::uint16_t VersionDefault = 20;
constexpr std::uint16_t VersionZip64 = 45;
constexpr std::uint16_t MadeByUnix = 3 << 8;

// The 64-bit FNV-1a hash of a name's bytes: names to look up, and lock names that must stay the same
// from one version to the next.
inline std::uint64_t nameHash(std::string_view name) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

inline void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

inline void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

inline void put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

inline std::uint16_t get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t get64(const unsigned char* p) {
    return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

inline void patch32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

// MS-DOS date and time (local time, two-second steps) of a Unix time; clamped to 1980..2107.
struct DosDateTime {
    std::uint16_t time = 0;
    std::uint16_t date = (1 << 5) | 1;
};
DosDateTime toDosDateTime(std::int64_t unixSeconds);
std::int64_t fromDosDateTime(std::uint16_t date, std::uint16_t time);

// Removes every extra field with the given tag from a block of extra fields.
std::string withoutExtraField(const std::string& extra, std::uint16_t tag);
// Finds the data of the first extra field with the given tag; false when there is none.
bool findExtraField(const unsigned char* extra, std::size_t size, std::uint16_t tag,
                    const unsigned char*& data, std::size_t& dataSize);
std::string storedCrcExtraField(std::uint32_t storedCrc, std::uint32_t entryCrc);
// The stored bytes' CRC from a block of extra fields; false when it has no such field for an entry
// with the CRC `entryCrc`.
bool storedCrcOf(std::string_view extra, std::uint32_t entryCrc, std::uint32_t& storedCrc);
std::string rawNameExtraField(std::string_view storedName, std::string_view rawName);
// The exact name bytes from the data of a raw-name field; false when the field is not one we
// understand or was written for another stored name.
bool rawNameOf(const unsigned char* data, std::size_t size, std::string_view storedName,
               std::string_view& rawName);

} // namespace zipformat
