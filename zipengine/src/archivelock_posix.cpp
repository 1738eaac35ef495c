#include "archivelock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// Locks of the open file, not of the process: a second job of the same process is refused too.
bool lockOpenFile(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

} // namespace

// A folder only this user can write to, so nobody else can plant or take away its lock files.
std::string ArchiveLock::runtimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && isPrivateFolder(runtime))
        return runtime;
    const std::string fallback = "/tmp/quoralis-" + std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    return isPrivateFolder(fallback) ? fallback : std::string();
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

int ArchiveLock::holdLockFile(const std::string& path, Result& failure) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            failure = Result::Unsupported;
            return -1;
        }
        if (!lockOpenFile(fd)) {
            const int error = errno;
            ::close(fd);
            errno = error;
            failure = error == EAGAIN || error == EACCES ? Result::InUse : Result::Unsupported;
            if (failure == Result::Unsupported)
                ::unlink(path.c_str()); // locks do not work here, so nobody can be holding this one
            return -1;
        }
        // The holder before us may have removed the file between our open and our lock: then the
        // lock is on a file nobody else will find, and the name must be taken again.
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
    failure = Result::InUse;
    return -1;
}

void ArchiveLock::release() {
    if (m_fd < 0)
        return;
    ::unlink(m_path.c_str()); // while still held, so nobody locks a name that is going away
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}
