#include "platform/fileattributes.h"

#include <cstdio>
#include <string_view>
#include <sys/xattr.h>

namespace platform {

namespace {

constexpr const char* attributeName = "user.quoralis.archived";

// "<size> <mtime in ns>", in decimal.
int formatRecord(char* buffer, std::size_t capacity, std::uint64_t size, std::int64_t mtimeNs) {
    return std::snprintf(buffer, capacity, "%llu %lld", static_cast<unsigned long long>(size),
                         static_cast<long long>(mtimeNs));
}

} // namespace

bool FileAttributes::isHidden(const std::filesystem::path& path) {
    std::filesystem::path name = path.filename();
    if (name.empty())
        name = path.parent_path().filename(); // "folder/" names the folder
    const std::string& text = name.native();
    return !text.empty() && text.front() == '.' && text != "." && text != "..";
}

bool FileAttributes::isSystem(const std::filesystem::path&) {
    return false;
}

bool FileAttributes::archiveAttributeSet(const std::filesystem::path& path, std::uint64_t size,
                                         std::int64_t mtimeNs) {
    char stored[64];
    const ssize_t length = ::lgetxattr(path.c_str(), attributeName, stored, sizeof stored);
    if (length <= 0)
        return true; // no record, no extended attributes here, or no file: changed
    char expected[64];
    const int expectedLength = formatRecord(expected, sizeof expected, size, mtimeNs);
    return length != expectedLength || std::string_view(stored, std::size_t(length)) != expected;
}

bool FileAttributes::clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                           std::int64_t mtimeNs) {
    char record[64];
    const int length = formatRecord(record, sizeof record, size, mtimeNs);
    return ::lsetxattr(path.c_str(), attributeName, record, std::size_t(length), 0) == 0;
}

} // namespace platform
