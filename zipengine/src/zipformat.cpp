#include "zipformat.h"

#include <ctime>

namespace zipformat {

DosDateTime toDosDateTime(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    DosDateTime result;
    if (!localtime_r(&t, &local))
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

} // namespace zipformat
