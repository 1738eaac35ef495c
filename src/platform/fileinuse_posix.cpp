#include "platform/fileinuse.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool lockedByOthers(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET; // start 0, length 0: the whole file
    // An open file description lock probe also sees the classic record locks.
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        probe = {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        if (::fcntl(fd, F_GETLK, &probe) != 0)
            return false;
    }
    if (probe.l_type != F_UNLCK)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return false;
}

} // namespace

FileUse fileUse(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileUse::Free : FileUse::Unreachable;
    if (S_ISDIR(info.st_mode))
        return FileUse::Folder;
    if (!S_ISREG(info.st_mode))
        return FileUse::NotRegular;
    // The mode is asked on its own: the superuser could open a read-only file for writing.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return FileUse::ReadOnly;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case EROFS:
            return FileUse::ReadOnlyFileSystem;
        case EACCES:
        case EPERM:
            return FileUse::ReadOnly;
        default:
            return FileUse::InUse;
        }
    }
    const bool locked = lockedByOthers(fd);
    ::close(fd);
    return locked ? FileUse::InUse : FileUse::Free;
}

bool isFileInUse(const std::filesystem::path& path) {
    return fileUse(path) != FileUse::Free;
}

} // namespace platform
