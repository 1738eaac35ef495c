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

bool isFileInUse(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno != ENOENT && errno != ENOTDIR; // there but out of reach counts as in use
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool locked = lockedByOthers(fd);
    ::close(fd);
    return locked;
}

} // namespace platform
