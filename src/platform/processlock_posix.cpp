#include "platform/processlock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace platform {

namespace {

ProcessLock::Result lockWholeFile(int fd) {
    struct flock request {};
    request.l_type = F_WRLCK;
    request.l_whence = SEEK_SET; // start 0, length 0: the whole file
    // Open file description locks conflict between two opens in one process, unlike the
    // classic record locks, and end with the last descriptor of the open.
    if (::fcntl(fd, F_OFD_SETLK, &request) == 0)
        return ProcessLock::Result::Locked;
    if (errno == EAGAIN || errno == EACCES)
        return ProcessLock::Result::HeldElsewhere;
    if (errno != EINVAL)
        return ProcessLock::Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return ProcessLock::Result::Locked;
    return errno == EWOULDBLOCK ? ProcessLock::Result::HeldElsewhere : ProcessLock::Result::Failed;
}

} // namespace

ProcessLock::ProcessLock(std::filesystem::path file)
    : m_file(std::move(file)) {}

ProcessLock::~ProcessLock() {
    unlock();
}

ProcessLock::Result ProcessLock::tryLock() {
    if (m_fd >= 0)
        return Result::Locked;
    const int fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Failed;
    const Result result = lockWholeFile(fd);
    if (result == Result::Locked)
        m_fd = fd;
    else
        ::close(fd);
    return result;
}

void ProcessLock::unlock() {
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

bool ProcessLock::isLocked() const {
    return m_fd >= 0;
}

} // namespace platform
