#include "platform/fileattributes.h"

#include <windows.h>

namespace platform {

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t unixEpochInFileTime = 116444736000000000LL;

bool sameState(const WIN32_FILE_ATTRIBUTE_DATA& data, std::uint64_t size, std::int64_t mtimeNs) {
    const std::uint64_t fileSize = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::int64_t ticks = std::int64_t((std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                            data.ftLastWriteTime.dwLowDateTime);
    return fileSize == size && (ticks - unixEpochInFileTime) * 100 == mtimeNs;
}

} // namespace

bool FileAttributes::isHidden(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

bool FileAttributes::isSystem(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM);
}

bool FileAttributes::archiveAttributeSet(const std::filesystem::path& path, const FileIdentity&) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_ARCHIVE);
}

bool FileAttributes::archiveAttributeSet(const std::filesystem::path& path, std::uint64_t, std::int64_t) {
    return archiveAttributeSet(path, FileIdentity{});
}

bool FileAttributes::clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                           std::int64_t mtimeNs) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    if (!sameState(data, size, mtimeNs))
        return false; // changed while it was archived: it stays marked as changed
    return SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE);
}

} // namespace platform
