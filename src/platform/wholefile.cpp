#include "platform/wholefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* tempInfix = ".tmp-";
constexpr std::size_t tempSuffixLength = 6; // the XXXXXX of mkstemp

class Fd {
public:
    explicit Fd(int fd)
        : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports whether the close succeeded (a deferred write error shows here).
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

mode_t currentUmask() {
    // Read without changing it: umask() itself can only be queried by setting it.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(status);
                return mode_t(mask);
            }
        }
        std::fclose(status);
    }
    return 022;
}

void syncDirectory(const std::filesystem::path& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

void removeStaleTemporaries(const std::filesystem::path& dir, const std::string& targetName) {
    DIR* listing = ::opendir(dir.c_str());
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        if (WholeFile::isTemporaryName(entry->d_name, targetName))
            ::unlinkat(::dirfd(listing), entry->d_name, 0);
    }
    ::closedir(listing);
}

// The mode a replacement of the target gets: the target's own when it is a regular file this
// process may write, the default for a new file when it is missing; nullopt when it must not
// be replaced.
std::optional<mode_t> replacementMode(const std::filesystem::path& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return errno == ENOENT ? std::optional<mode_t>(0666 & ~currentUmask()) : std::nullopt;
    // A device or a FIFO behind a link is not ours to replace by a file.
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    // A read-only file stays as it is, although the folder would let us replace it.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return std::nullopt;
    return info.st_mode & 07777;
}

bool writeInPlaceOf(const std::filesystem::path& target, const QByteArray& content, mode_t mode) {
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    const std::string name = target.filename().string();
    std::string temp = (dir / ("." + name + tempInfix + std::string(tempSuffixLength, 'X'))).string();
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    ::fchmod(fd.get(), mode); // best effort: some file systems have no permission bits
    const bool written = writeAll(fd.get(), content.constData(), content.size()) && ::fsync(fd.get()) == 0;
    if (!fd.close() || !written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectory(dir);
    removeStaleTemporaries(dir, name);
    return true;
}

// Renames without ever replacing an existing file; errno is EEXIST when "to" exists.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without that flag: a hard link does not replace a file either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        return false;
    // Nor hard links (FAT): look first, then rename.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

WholeFile::ReadResult WholeFile::read(const std::filesystem::path& path) {
    // The type is checked before the file is opened: opening a FIFO waits for a writer, and a
    // device may never end.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {(errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed, {}};
    if (!S_ISREG(info.st_mode))
        return {ReadStatus::Failed, {}};
    // Non-blocking, in case a FIFO took the file's place since.
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return {(errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed, {}};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {ReadStatus::Failed, {}};
    QByteArray content;
    if (info.st_size > 0)
        content.reserve(qsizetype(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {ReadStatus::Failed, {}};
        }
        content.append(buffer, qsizetype(n));
    }
    return {ReadStatus::Ok, content};
}

std::optional<std::filesystem::path> WholeFile::finalTarget(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        const auto status = std::filesystem::symlink_status(current, error);
        if (error || !std::filesystem::is_symlink(status))
            return current;
        const std::filesystem::path link = std::filesystem::read_symlink(current, error);
        if (error)
            return std::nullopt;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return std::nullopt;
}

bool WholeFile::isTemporaryName(const std::string& fileName, const std::string& targetName) {
    const std::string prefix = "." + targetName + tempInfix;
    return fileName.size() == prefix.size() + tempSuffixLength &&
           fileName.compare(0, prefix.size(), prefix) == 0;
}

bool WholeFile::replace(const std::filesystem::path& path, const QByteArray& content) {
    const auto target = finalTarget(path);
    if (!target || !target->has_filename())
        return false;
    const auto mode = replacementMode(*target);
    return mode && writeInPlaceOf(*target, content, *mode);
}

std::optional<std::filesystem::path> WholeFile::replaceKeepingOld(const std::filesystem::path& path,
                                                                  const QByteArray& content,
                                                                  const std::string& suffix) {
    const auto target = finalTarget(path);
    std::error_code error;
    if (!target || !target->has_filename() || !std::filesystem::is_regular_file(*target, error))
        return std::nullopt;
    const auto mode = replacementMode(*target);
    if (!mode)
        return std::nullopt;
    for (int number = 1; number < 1000; ++number) {
        std::filesystem::path aside = *target;
        aside += suffix;
        if (number > 1)
            aside += "." + std::to_string(number);
        if (renameNoReplace(*target, aside)) {
            if (writeInPlaceOf(*target, content, *mode))
                return aside;
            renameNoReplace(aside, *target);
            return std::nullopt;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace platform
