#include "platform/fileattributes.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* attributeName = "user.quoralis.archived";

std::uint64_t hashPath(const std::string& path) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : path) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// "<device>:<inode> <size> <mtime in ns> <hash of the path>", the hash in hex, the rest in
// decimal. The path makes a renamed or moved file (or one in a renamed folder) count as changed:
// its entry under the new name has yet to be made.
int formatRecord(char* buffer, std::size_t capacity, const std::filesystem::path& path,
                 const FileIdentity& file) {
    return std::snprintf(
        buffer, capacity, "%llu:%llu %llu %lld %016llx", static_cast<unsigned long long>(file.device),
        static_cast<unsigned long long>(file.inode), static_cast<unsigned long long>(file.size),
        static_cast<long long>(file.mtimeNs), static_cast<unsigned long long>(hashPath(path.native())));
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

bool FileAttributes::archiveAttributeSet(const std::filesystem::path& path, const FileIdentity& file) {
    char stored[96];
    const ssize_t length = ::lgetxattr(path.c_str(), attributeName, stored, sizeof stored);
    if (length <= 0)
        return true; // no record, no extended attributes here, or no file: changed
    char expected[96];
    const int expectedLength = formatRecord(expected, sizeof expected, path, file);
    return length != expectedLength || std::string_view(stored, std::size_t(length)) != expected;
}

bool FileAttributes::archiveAttributeSet(const std::filesystem::path& path, std::uint64_t size,
                                         std::int64_t mtimeNs) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return true;
    return archiveAttributeSet(path, FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                                                  static_cast<std::uint64_t>(st.st_ino), size, mtimeNs});
}

bool FileAttributes::clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                           std::int64_t mtimeNs) {
    // The record goes onto the very file whose identity it holds: opened once, never through a link.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool stored = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const FileIdentity file{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                                size, mtimeNs};
        char record[96];
        const int length = formatRecord(record, sizeof record, path, file);
        stored = ::fsetxattr(fd, attributeName, record, std::size_t(length), 0) == 0;
    }
    ::close(fd);
    return stored;
}

} // namespace platform
