#include "folderhandle.h"

#include "zipformat.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

struct FolderHandle::State {
    int fd;
};

namespace {

// Closes `fd` without losing the errno of what failed before.
void closeKeepingErrno(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

} // namespace

FolderHandle::~FolderHandle() {
    if (m_state != nullptr)
        ::close(m_state->fd);
    delete m_state;
}

FolderHandle FolderHandle::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? FolderHandle() : FolderHandle(new State{fd});
}

FolderHandle FolderHandle::child(const std::string& name, bool followLinks) const {
    if (::mkdirat(m_state->fd, name.c_str(), 0777) != 0 && errno != EEXIST)
        return FolderHandle();
    const int fd = ::openat(m_state->fd, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
    return fd < 0 ? FolderHandle() : FolderHandle(new State{fd});
}

FolderHandle FolderHandle::duplicate() const {
    const int fd = ::fcntl(m_state->fd, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? FolderHandle() : FolderHandle(new State{fd});
}

int FolderHandle::openFile(const std::string& name) const {
    // Not blocking, so that a pipe put in the file's place cannot hold the reader.
    return ::openat(m_state->fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int FolderHandle::createFile(const std::string& name, Create how, std::uint32_t mode) const {
    const int flags = how == Create::Exclusive ? O_CREAT | O_EXCL | O_RDWR : O_CREAT | O_TRUNC | O_WRONLY;
    return ::openat(m_state->fd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
}

int FolderHandle::createUnnamed(std::uint32_t mode) const {
    return ::openat(m_state->fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
}

bool FolderHandle::nameUnnamed(int fd, const std::string& name) const {
    // The descriptor's entry in /proc works without privileges; AT_EMPTY_PATH needs them on
    // older kernels but works without /proc.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), m_state->fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
           (errno != EEXIST && ::linkat(fd, "", m_state->fd, name.c_str(), AT_EMPTY_PATH) == 0);
}

bool FolderHandle::move(const std::string& from, const std::string& to, bool replace) const {
    if (replace)
        return ::renameat(m_state->fd, from.c_str(), m_state->fd, to.c_str()) == 0;
    // A second name, then the first one dropped: no file system here lacks hard links, while
    // renaming without replacing is missing on several.
    if (::linkat(m_state->fd, from.c_str(), m_state->fd, to.c_str(), 0) != 0)
        return false;
    ::unlinkat(m_state->fd, from.c_str(), 0);
    return true;
}

bool FolderHandle::remove(const std::string& name) const {
    return ::unlinkat(m_state->fd, name.c_str(), 0) == 0;
}

bool FolderHandle::status(const std::string& name, Status& status) const {
    struct stat st {};
    if (::fstatat(m_state->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    status.kind = S_ISREG(st.st_mode)   ? Kind::File
                  : S_ISDIR(st.st_mode) ? Kind::Folder
                  : S_ISLNK(st.st_mode) ? Kind::Link
                                        : Kind::Other;
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.mtimeNs = zipformat::nanosecondsOf(st.st_mtim);
    return true;
}

std::vector<std::string> FolderHandle::names() const {
    std::vector<std::string> result;
    // A descriptor of its own: reading a folder moves the position of the descriptor it reads.
    const int fd = ::openat(m_state->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0)
            closeKeepingErrno(fd);
        return result;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            result.push_back(name);
    }
    ::closedir(dir);
    return result;
}

void FolderHandle::setModeAndTime(std::uint32_t mode, const timespec& mtime) const {
    if (mode != 0)
        ::fchmod(m_state->fd, static_cast<mode_t>(mode));
    const struct timespec times[2] = {mtime, mtime};
    ::futimens(m_state->fd, times);
}

bool FolderHandle::sync() const {
    return ::fsync(m_state->fd) == 0;
}
