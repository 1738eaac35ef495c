#include "zipformat.h"

#include "engineplatform.h"

#include <libdeflate.h>

#include <climits>
#include <cstring>
#include <ctime>

namespace zipformat {

DosDateTime toDosDateTime(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    DosDateTime result;
    if (!engineplatform::localTime(t, local))
        return result;
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return result;
    if (year > 2107) {
        result.date = static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31);
        result.time = static_cast<std::uint16_t>((23 << 11) | (59 << 5) | 29);
        return result;
    }
    result.date =
        static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    result.time =
        static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return result;
}

std::int64_t fromDosDateTime(std::uint16_t date, std::uint16_t time) {
    std::tm local{};
    local.tm_year = ((date >> 9) & 0x7f) + 80;
    local.tm_mon = ((date >> 5) & 0x0f) - 1;
    local.tm_mday = date & 0x1f;
    local.tm_hour = (time >> 11) & 0x1f;
    local.tm_min = (time >> 5) & 0x3f;
    local.tm_sec = (time & 0x1f) * 2;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

std::int64_t ntfsTicksOf(std::int64_t unixNs) {
    // Rounded down, also before 1970, so that a time and its ticks compare the same way.
    std::int64_t ticks = unixNs / NtfsTickNs;
    if (unixNs % NtfsTickNs < 0)
        --ticks;
    return ticks + NtfsEpochTicks;
}

std::int64_t ntfsTicksOf(const struct timespec& unixTime) {
    constexpr std::int64_t TicksPerSecond = 1000000000 / NtfsTickNs;
    constexpr std::int64_t EpochSeconds = NtfsEpochTicks / TicksPerSecond;
    constexpr std::int64_t MaxSeconds = INT64_MAX / TicksPerSecond - EpochSeconds - 1;
    if (unixTime.tv_sec < -EpochSeconds)
        return 0;
    if (unixTime.tv_sec > MaxSeconds)
        return INT64_MAX;
    return (static_cast<std::int64_t>(unixTime.tv_sec) + EpochSeconds) * TicksPerSecond +
           unixTime.tv_nsec / NtfsTickNs;
}

std::int64_t unixNsOf(std::int64_t ntfsTicks) {
    const std::int64_t ticks = ntfsTicks - NtfsEpochTicks;
    if (ticks > INT64_MAX / NtfsTickNs)
        return INT64_MAX;
    if (ticks < INT64_MIN / NtfsTickNs)
        return INT64_MIN;
    return ticks * NtfsTickNs;
}

struct timespec unixTimeOf(std::int64_t ntfsTicks) {
    constexpr std::int64_t TicksPerSecond = 1000000000 / NtfsTickNs;
    // Both terms are split before they are combined, so no tick count overflows.
    std::int64_t seconds = ntfsTicks / TicksPerSecond - NtfsEpochTicks / TicksPerSecond;
    std::int64_t rest = ntfsTicks % TicksPerSecond - NtfsEpochTicks % TicksPerSecond;
    if (rest < 0) {
        rest += TicksPerSecond;
        --seconds;
    }
    struct timespec time {};
    time.tv_sec = static_cast<std::time_t>(seconds);
    time.tv_nsec = static_cast<long>(rest * NtfsTickNs);
    return time;
}

std::int64_t nanosecondsOf(const struct timespec& unixTime) {
    constexpr std::int64_t Billion = 1000000000;
    if (unixTime.tv_sec > INT64_MAX / Billion - 1)
        return INT64_MAX;
    if (unixTime.tv_sec < INT64_MIN / Billion + 1)
        return INT64_MIN;
    return static_cast<std::int64_t>(unixTime.tv_sec) * Billion + unixTime.tv_nsec;
}

std::string ntfsExtraField(std::int64_t mtimeNs, std::int64_t readNs) {
    struct timespec mtime {};
    mtime.tv_sec = static_cast<std::time_t>(mtimeNs / 1000000000 - (mtimeNs % 1000000000 < 0 ? 1 : 0));
    mtime.tv_nsec = static_cast<long>(mtimeNs - static_cast<std::int64_t>(mtime.tv_sec) * 1000000000);
    return ntfsExtraField(mtime, readNs);
}

std::string ntfsExtraField(const struct timespec& mtime, std::int64_t readNs) {
    const auto ticks = static_cast<std::uint64_t>(ntfsTicksOf(mtime));
    std::string field;
    put16(field, ExtraNtfs);
    put16(field, 32);
    put32(field, 0); // reserved
    put16(field, 1); // attribute 1: the three file times
    put16(field, 24);
    put64(field, ticks);                                           // modified
    put64(field, static_cast<std::uint64_t>(ntfsTicksOf(readNs))); // accessed: read for the archive
    put64(field, ticks);                                           // created
    return field;
}

bool ntfsTimes(const unsigned char* data, std::size_t size, std::int64_t& mtimeNs, std::int64_t& atimeNs) {
    std::int64_t ticks = 0;
    std::int64_t accessTicks = 0;
    if (!ntfsTicks(data, size, ticks, accessTicks))
        return false;
    mtimeNs = unixNsOf(ticks);
    atimeNs = accessTicks > 0 ? unixNsOf(accessTicks) : 0;
    return true;
}

bool ntfsTicks(const unsigned char* data, std::size_t size, std::int64_t& mtimeTicks,
               std::int64_t& atimeTicks) {
    std::size_t pos = 4; // reserved
    while (pos + 4 <= size) {
        const std::uint16_t tag = get16(data + pos);
        const std::size_t length = get16(data + pos + 2);
        if (pos + 4 + length > size)
            return false;
        if (tag == 1 && length >= 16) {
            const auto ticks = static_cast<std::int64_t>(get64(data + pos + 4));
            const auto accessTicks = static_cast<std::int64_t>(get64(data + pos + 12));
            if (ticks <= 0)
                return false;
            mtimeTicks = ticks;
            atimeTicks = accessTicks;
            return true;
        }
        pos += 4 + length;
    }
    return false;
}

std::string withoutExtraField(const std::string& extra, std::uint16_t tag) {
    std::string kept;
    std::size_t pos = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    while (pos + 4 <= extra.size()) {
        const std::uint16_t id = get16(p + pos);
        const std::size_t size = get16(p + pos + 2);
        if (pos + 4 + size > extra.size())
            break; // a damaged tail is dropped
        if (id != tag)
            kept.append(extra, pos, 4 + size);
        pos += 4 + size;
    }
    return kept;
}

bool findExtraField(const unsigned char* extra, std::size_t size, std::uint16_t tag,
                    const unsigned char*& data, std::size_t& dataSize) {
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        const std::uint16_t id = get16(extra + pos);
        const std::size_t length = get16(extra + pos + 2);
        if (pos + 4 + length > size)
            return false;
        if (id == tag) {
            data = extra + pos + 4;
            dataSize = length;
            return true;
        }
        pos += 4 + length;
    }
    return false;
}

std::string storedCrcExtraField(std::uint32_t storedCrc, std::uint32_t entryCrc) {
    std::string field;
    put16(field, ExtraStoredCrc);
    put16(field, 8);
    put32(field, storedCrc);
    put32(field, entryCrc);
    return field;
}

bool storedCrcOf(std::string_view extra, std::uint32_t entryCrc, std::uint32_t& storedCrc) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!findExtraField(reinterpret_cast<const unsigned char*>(extra.data()), extra.size(), ExtraStoredCrc,
                        data, size) ||
        size != 8 || get32(data + 4) != entryCrc)
        return false;
    storedCrc = get32(data);
    return true;
}

namespace {

constexpr unsigned char RawNameVersion = 1;
constexpr std::size_t RawNameHeader = 5; // version, CRC

std::uint32_t crcOf(std::string_view text) {
    return libdeflate_crc32(0, text.data(), text.size());
}

} // namespace

std::string rawNameExtraField(std::string_view storedName, std::string_view rawName) {
    std::string field;
    put16(field, ExtraRawName);
    put16(field, static_cast<std::uint16_t>(RawNameHeader + rawName.size()));
    field.push_back(static_cast<char>(RawNameVersion));
    put32(field, crcOf(storedName));
    field.append(rawName);
    return field;
}

bool rawNameOf(const unsigned char* data, std::size_t size, std::string_view storedName,
               std::string_view& rawName) {
    if (data == nullptr || size <= RawNameHeader || data[0] != RawNameVersion ||
        get32(data + 1) != crcOf(storedName) ||
        std::memchr(data + RawNameHeader, 0, size - RawNameHeader) != nullptr)
        return false;
    rawName = std::string_view(reinterpret_cast<const char*>(data + RawNameHeader), size - RawNameHeader);
    return true;
}

} // namespace zipformat
