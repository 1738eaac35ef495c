#include "restore/pendingfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace {

std::string temporaryName() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return ".quoralis-restore-" + std::to_string(random()) + ".part";
}

} // namespace

PendingFile::PendingFile(int folder)
    : m_folder(folder) {
    m_fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        return;
    // File systems without unnamed files: a hidden name that is removed unless completed.
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        m_tempName = temporaryName();
        m_fd =
            ::openat(folder, m_tempName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        m_tempName.clear();
}

PendingFile::~PendingFile() {
    discard();
}

bool PendingFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void PendingFile::finish(std::uint32_t mode, const struct timespec& mtime) {
    ::fchmod(m_fd, static_cast<mode_t>(mode));
    const struct timespec times[2] = {mtime, mtime};
    ::futimens(m_fd, times);
}

bool PendingFile::linkUnder(const std::string& name) {
    if (m_tempName.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        return ::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
               (errno != EEXIST && ::linkat(m_fd, "", m_folder, name.c_str(), AT_EMPTY_PATH) == 0);
    }
    if (::linkat(m_folder, m_tempName.c_str(), m_folder, name.c_str(), 0) != 0)
        return false;
    ::unlinkat(m_folder, m_tempName.c_str(), 0);
    m_tempName.clear();
    return true;
}

bool PendingFile::place(const std::string& name, bool replace) {
    if (m_fd < 0 || m_placed)
        return false;
    if (!replace) {
        if (!linkUnder(name))
            return false;
    } else if (!m_tempName.empty()) {
        if (::renameat(m_folder, m_tempName.c_str(), m_folder, name.c_str()) != 0)
            return false;
        m_tempName.clear();
    } else {
        // An unnamed file gets a temporary name first, then takes the old file's place at once.
        std::string temp;
        bool linked = false;
        for (int attempt = 0; attempt < 16 && !linked; ++attempt) {
            temp = temporaryName();
            linked = linkUnder(temp);
            if (!linked && errno != EEXIST)
                return false;
        }
        if (!linked)
            return false;
        if (::renameat(m_folder, temp.c_str(), m_folder, name.c_str()) != 0) {
            const int error = errno;
            ::unlinkat(m_folder, temp.c_str(), 0);
            errno = error;
            return false;
        }
    }
    m_placed = true;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

void PendingFile::discard() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempName.empty())
        ::unlinkat(m_folder, m_tempName.c_str(), 0);
    m_tempName.clear();
}
