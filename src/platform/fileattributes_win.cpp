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

// Windows keeps one archive attribute per file, shared by every archive: the series and epoch of
// a mark cannot be told apart here, so a set attribute is a change for every archive.
FileAttributes::ArchiveState FileAttributes::archiveState(const std::filesystem::path& path,
                                                          const FileIdentity&, const ArchiveMark&) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ArchiveState::Unmarked;
    return (attributes & FILE_ATTRIBUTE_ARCHIVE) ? ArchiveState::Changed : ArchiveState::Unchanged;
}

FileAttributes::ArchiveState FileAttributes::archiveState(const std::filesystem::path& path,
                                                          const ArchiveMark& mark) {
    return archiveState(path, FileIdentity{}, mark);
}

bool FileAttributes::clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                           std::int64_t mtimeNs, std::int64_t, const ArchiveMark&) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    if (!sameState(data, size, mtimeNs))
        return false; // changed while it was archived: it stays marked as changed
    return SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE);
}

std::optional<FileIdentity> FileAttributes::identityOf(const std::filesystem::path& path) {
    const HANDLE file = CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known)
        return std::nullopt;
    const std::int64_t ticks = std::int64_t((std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                            info.ftLastWriteTime.dwLowDateTime);
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                        (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                        (ticks - unixEpochInFileTime) * 100, 0};
}

} // namespace platform
