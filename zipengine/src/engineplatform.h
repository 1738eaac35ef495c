#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// The operating system calls of the engine that differ between systems; one implementation per
// system (engineplatform_posix.cpp, engineplatform_win.cpp). Files are the C library's
// descriptors; paths are bytes (UTF-8 where the system's names are UTF-16).
namespace engineplatform {

// The characters that end a folder's name in a path.
extern const char* const kPathSeparators;

// The length of the part of `path` (its separators already made "/") that names where it starts
// rather than a folder in it: the leading "/" here; a drive ("C:/"), a share ("//server/share/") or
// the long form's prefix ("//?/C:/", "//?/UNC/server/share/") on Windows.
std::size_t rootLength(std::string_view path);

// The folder a path is in ("." for a bare name; a root keeps its separator), and its last name.
std::string folderOf(const std::string& path);
std::string baseNameOf(const std::string& path);

// What the engine knows of a file from its status, the same on every system: 64-bit sizes and
// an identity that tells one file from every other while both exist.
struct FileStatus {
    std::uint32_t mode = 0; // the type and permission bits as Unix has them (S_IFREG | 0644, ...)
    std::uint64_t size = 0;
    timespec mtime{};
    std::uint64_t device = 0; // the volume
    std::uint64_t inode = 0;  // the file on the volume; 0 when the system cannot tell

    bool isFile() const { return S_ISREG(mode); }
    bool isFolder() const { return S_ISDIR(mode); }
    bool sameFile(const FileStatus& other) const {
        return inode != 0 && inode == other.inode && device == other.device;
    }
};

// Reads or writes up to `size` bytes at `offset`, whatever the descriptor's position.
// Returns the bytes moved, 0 at the end of the file, or -1 with errno set.
std::int64_t readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);
std::int64_t writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset);

// Reads exactly `size` bytes at `offset`, through interruptions and short reads; false at an
// error or when the file ends first.
inline bool readAllAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* into = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const std::int64_t n = readAt(fd, into, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes up to `size` bytes at the descriptor's position and moves it on. Returns the bytes
// written, or -1 with errno set.
std::int64_t writeSome(int fd, const void* buffer, std::size_t size);

// Writes all `size` bytes at the descriptor's position, through interruptions and short writes;
// false with errno set at an error.
inline bool writeAll(int fd, const void* buffer, std::size_t size) {
    auto* from = static_cast<const unsigned char*>(buffer);
    while (size > 0) {
        const std::int64_t n = writeSome(fd, from, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        from += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Closes a descriptor; 0, or -1 with errno set when what was written may be lost.
int closeFile(int fd);

// Writes the file's data to the disk; false with errno set.
bool syncFile(int fd);

// Starts writing `length` bytes from `offset` to the disk without waiting for it; a hint only.
void startWriteback(int fd, std::uint64_t offset, std::uint64_t length);

// Cuts or extends the file to `size` bytes and puts the descriptor's position there.
bool truncateFile(int fd, std::uint64_t size);

// Copies up to `size` bytes of `from` at `offset` to `to`'s position inside the system, moving
// `offset` and `to`'s position on. Returns the bytes copied, 0 at the end of `from`, or -1 with
// errno set; ENOSYS, EXDEV, EOPNOTSUPP or EINVAL mean "copy it yourself".
std::int64_t copyRange(int from, std::uint64_t& offset, int to, std::size_t size);

// Unix permission bits of an open file; where the system has none, a file without write
// permission is made read-only.
void setFileMode(int fd, std::uint32_t mode);

// The modification time of an open file; the access time is set to the same moment with
// `accessToo`, and left alone otherwise.
void setFileTimes(int fd, const timespec& mtime, bool accessToo);

// Gives an open file the permissions and, where allowed, the owner of the file at `path`;
// nothing when there is no such file.
void copyPermissions(int fd, const char* path);

// Where the symbolic link at `path` points, joined to the link's folder when relative; false when
// `path` is no link.
bool linkedPath(const std::string& path, std::string& next);

// The permission bits the process takes away from new files, read without changing them.
std::uint32_t fileCreationMask();

// Opens a file for reading, never as the process's terminal and never waiting for a writer to
// a pipe; the descriptor is not inherited by programs started later. -1 with errno set on failure.
int openForReading(const char* path);

// The status of the file at `path`, a link's own where it is a link; 0, or -1 with errno set.
int linkStatus(const char* path, FileStatus& st);

// The status of the file at `path`, through links; 0, or -1 with errno set.
int fileStatus(const char* path, FileStatus& st);

// The status of an open file; 0, or -1 with errno set.
int openFileStatus(int fd, FileStatus& st);

// Whether the file at `path` is one the system hides from listings; false when it cannot be told.
bool isHidden(const char* path);

// Gives the file `from` the name `to`; false with errno set.
bool renameFile(const char* from, const char* to);

// The local calendar time of `t`; false where the system cannot express it.
bool localTime(std::time_t t, std::tm& local);

// The file of the library or program that holds `symbol`; empty when it cannot be told.
std::string moduleFileOf(const void* symbol);

// The file of the running program; empty when it cannot be told.
std::string programFile();

// The program's arguments as UTF-8, whatever the system handed to main().
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace engineplatform
