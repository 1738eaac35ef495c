#include "platform/processlock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

namespace {
// Whether the name still leads to the file this descriptor has open: the holder before may have
// removed it between our open and our lock, and a lock on a removed file guards nothing.
bool nameLeadsTo(const std::filesystem::path& file, int fd) {
    struct stat named {};
    struct stat held {};
    return ::lstat(file.c_str(), &named) == 0 && ::fstat(fd, &held) == 0 && named.st_dev == held.st_dev &&
           named.st_ino == held.st_ino;
}

// Another user who can write the folder could have made the file, or a link in its place, to hold
// the lock for us or to read what we publish: such a file is not ours to use.
bool isOwnRegularFile(int fd) {
    struct stat held {};
    return ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid();
}

constexpr std::size_t kPublishedLimit = 4096;
} // namespace

ProcessLock::Result ProcessLock::tryLock() {
    if (m_fd >= 0)
        return Result::Locked;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return Result::Failed;
        if (!isOwnRegularFile(fd)) {
            ::close(fd);
            return Result::Failed;
        }
        const Result result = lockWholeFile(fd);
        if (result == Result::Locked && !nameLeadsTo(m_file, fd)) {
            ::close(fd);
            continue; // removed by its last holder meanwhile: lock the file the name leads to now
        }
        if (result == Result::Locked)
            m_fd = fd;
        else
            ::close(fd);
        return result;
    }
    return Result::Failed;
}

void ProcessLock::unlock() {
    if (m_fd < 0)
        return;
    // The file goes while it is still held, so nobody can hold a lock on a name that is gone; a
    // killed holder leaves it, and the next one takes it over.
    ::unlink(m_file.c_str());
    ::close(m_fd);
    m_fd = -1;
}

bool ProcessLock::isLocked() const {
    return m_fd >= 0;
}

bool ProcessLock::publish(std::string_view text) {
    if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0)
        return false;
    return ::pwrite(m_fd, text.data(), text.size(), 0) == ssize_t(text.size());
}

std::string ProcessLock::published() const {
    const int fd = ::open(m_file.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    std::string text;
    if (isOwnRegularFile(fd)) {
        text.resize(kPublishedLimit);
        const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
        text.resize(got > 0 ? std::size_t(got) : 0);
    }
    ::close(fd);
    return text;
}

} // namespace platform
