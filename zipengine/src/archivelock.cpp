#include "archivelock.h"

#include "archiveoutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

ArchiveLock::~ArchiveLock() {
    release();
}

std::string ArchiveLock::lockPathFor(const std::string& target) {
    return ArchiveOutput::besideTarget(target, ".lock");
}

ArchiveLock::Result ArchiveLock::acquire(const std::string& target) {
    release();
    const std::string path = lockPathFor(target);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return Result::Unsupported;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        // Locks of the open file, not of the process: a second job of the same process is refused too.
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
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
