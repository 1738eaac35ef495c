#include "archivelock.h"

#include "archiveoutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// A folder only this user can write to, so nobody else can plant or take away its lock files.
std::string runtimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && isPrivateFolder(runtime))
        return runtime;
    const std::string fallback = "/tmp/quoralis-" + std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    return isPrivateFolder(fallback) ? fallback : std::string();
}

std::uint64_t hashName(const std::string& name) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Locks of the open file, not of the process: a second job of the same process is refused too.
bool lockOpenFile(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

} // namespace

ArchiveLock::~ArchiveLock() {
    release();
}

std::string ArchiveLock::lockPathFor(const std::string& target) {
    struct stat folder {};
    if (::stat(folderOf(target).c_str(), &folder) != 0)
        return std::string();
    const std::string runtime = runtimeFolder();
    if (runtime.empty())
        return std::string();
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    char file[96];
    std::snprintf(file, sizeof file, "/quoralis-archive-%llx-%llx-%016llx.lock",
                  static_cast<unsigned long long>(folder.st_dev),
                  static_cast<unsigned long long>(folder.st_ino),
                  static_cast<unsigned long long>(hashName(name)));
    return runtime + file;
}

std::string ArchiveLock::legacyLockPathFor(const std::string& target) {
    return ArchiveOutput::besideTarget(target, ".lock");
}

ArchiveLock::Result ArchiveLock::takeLegacyLock(const std::string& target) {
    const std::string path = legacyLockPathFor(target);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return Result::Held;
    struct stat st {};
    Result result = Result::Held;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (lockOpenFile(fd))
            ::unlink(path.c_str()); // a leftover of a job that ended without taking it away
        else if (errno == EAGAIN || errno == EACCES)
            result = Result::InUse;
    }
    ::close(fd);
    return result;
}

ArchiveLock::Result ArchiveLock::acquire(const std::string& target) {
    release();
    const std::string path = lockPathFor(target);
    if (path.empty())
        return takeLegacyLock(target) == Result::InUse ? Result::InUse : Result::Unsupported;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return Result::Unsupported;
        if (!lockOpenFile(fd)) {
            const int error = errno;
            ::close(fd);
            errno = error;
            if (error == EAGAIN || error == EACCES)
                return Result::InUse;
            ::unlink(path.c_str()); // locks do not work here, so nobody can be holding this one
            return Result::Unsupported;
        }
        // The holder before us may have removed the file between our open and our lock: then the
        // lock is on a file nobody else will find, and the name must be taken again.
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            m_fd = fd;
            m_path = path;
            if (takeLegacyLock(target) == Result::InUse) {
                release();
                return Result::InUse;
            }
            return Result::Held;
        }
        ::close(fd);
    }
    return Result::InUse;
}

void ArchiveLock::release() {
    if (m_fd < 0)
        return;
    ::unlink(m_path.c_str()); // while still held, so nobody locks a name that is going away
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}
