#include "platform/folderreader.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

FolderError errorOf(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP ? FolderError::Gone : FolderError::Failed;
}

DIR* streamOf(void* dir) {
    return static_cast<DIR*>(dir);
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

FileKind kindOfType(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return FileKind::Folder;
    case DT_REG:
        return FileKind::File;
    case DT_LNK:
        return FileKind::Link;
    case DT_UNKNOWN:
        return FileKind::Unknown;
    default:
        return FileKind::Other;
    }
}

// The same nanoseconds the archiver records, held at the ends of the 64-bit range (1677 to 2262).
std::int64_t saturatedNs(const struct timespec& time) {
    constexpr std::int64_t Billion = 1000000000;
    if (time.tv_sec > INT64_MAX / Billion - 1)
        return INT64_MAX;
    if (time.tv_sec < INT64_MIN / Billion + 1)
        return INT64_MIN;
    return static_cast<std::int64_t>(time.tv_sec) * Billion + time.tv_nsec;
}

void fill(const struct stat& st, FileStatus& status) {
    status.kind = S_ISDIR(st.st_mode)   ? FileKind::Folder
                  : S_ISREG(st.st_mode) ? FileKind::File
                  : S_ISLNK(st.st_mode) ? FileKind::Link
                                        : FileKind::Other;
    status.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                       st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0, saturatedNs(st.st_mtim),
                       saturatedNs(st.st_ctim)};
}

} // namespace

FolderReader::~FolderReader() {
    close();
}

FolderReader::FolderReader(FolderReader&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_dir(std::exchange(other.m_dir, nullptr)) {}

FolderReader& FolderReader::operator=(FolderReader&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_dir = std::exchange(other.m_dir, nullptr);
    }
    return *this;
}

FolderReader FolderReader::open(const std::string& path, FolderError& error) {
    FolderReader folder;
    folder.m_fd = ::open(path.c_str(), kOpenFolderFlags);
    error = folder.m_fd < 0 ? errorOf(errno) : FolderError::None;
    return folder;
}

FolderReader FolderReader::openChild(const char* name, FolderError& error) const {
    FolderReader folder;
    folder.m_fd = ::openat(m_fd, name, kOpenFolderFlags);
    error = folder.m_fd < 0 ? errorOf(errno) : FolderError::None;
    return folder;
}

bool FolderReader::isOpen() const {
    return m_fd >= 0;
}

void FolderReader::close() {
    if (m_dir)
        closedir(streamOf(m_dir)); // closes m_fd with it
    else if (m_fd >= 0)
        ::close(m_fd);
    m_dir = nullptr;
    m_fd = -1;
}

bool FolderReader::nextEntry(FolderEntry& entry, FolderError& error) {
    if (m_fd < 0)
        return false;
    if (!m_dir) {
        m_dir = fdopendir(m_fd);
        if (!m_dir) {
            error = errorOf(errno);
            return false;
        }
    }
    for (;;) {
        errno = 0;
        const dirent* de = readdir(streamOf(m_dir));
        if (!de) {
            if (errno != 0)
                error = errorOf(errno);
            return false;
        }
        if (isDotOrDotDot(de->d_name))
            continue;
        entry.name = de->d_name;
        entry.kind = kindOfType(de->d_type);
        entry.statusKnown = false;
        return true;
    }
}

bool FolderReader::childStatus(const char* name, bool followLink, FileStatus& status,
                               FolderError& error) const {
    struct stat st;
    if (fstatat(m_fd, name, &st, followLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        error = errorOf(errno);
        return false;
    }
    fill(st, status);
    return true;
}

bool FolderReader::status(FileStatus& status) const {
    struct stat st;
    if (fstat(m_fd, &st) != 0)
        return false;
    fill(st, status);
    return true;
}

bool FolderReader::onSystemFileSystem() const {
    static constexpr unsigned long kSystemTypes[] = {
        0x9fa0,     // proc
        0x62656572, // sysfs
        0x1cd1,     // devpts
        0x27e0eb,   // cgroup
        0x63677270, // cgroup2
        0x64626720, // debugfs
        0x73636673, // securityfs
        0x74726163, // tracefs
        0xcafe4a11, // bpf
        0x6165676c, // pstore
        0x62656570, // configfs
    };
    struct statfs fs;
    if (fstatfs(m_fd, &fs) != 0)
        return false;
    for (unsigned long type : kSystemTypes)
        if (static_cast<unsigned long>(fs.f_type) == type)
            return true;
    return false;
}

// FAT, exFAT, NTFS and network shares of such disks find names without regard to case, and so
// does a folder of a file system that folds case for it (ext4, f2fs).
bool FolderReader::foldsCase() const {
    static constexpr unsigned long kCaseBlindTypes[] = {
        0x4d44,     // FAT
        0x2011bab0, // exFAT
        0x5346544e, // NTFS
        0x7366746e, // ntfs3
        0x482b,     // HFS+
        0xff534d42, // CIFS
        0xfe534d42, // SMB2
    };
    struct statfs fs;
    if (fstatfs(m_fd, &fs) == 0)
        for (unsigned long type : kCaseBlindTypes)
            if (static_cast<unsigned long>(fs.f_type) == type)
                return true;
    constexpr long kCaseFoldFlag = 0x40000000; // FS_CASEFOLD_FL
    long flags = 0;
    return ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & kCaseFoldFlag) != 0;
}

bool FolderReader::pathStatus(const std::string& path, FileStatus& status) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    fill(st, status);
    return true;
}

std::string FolderReader::realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string result(real);
    std::free(real);
    return result;
}

} // namespace platform
