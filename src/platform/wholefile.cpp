#include "platform/wholefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

} // namespace

WholeFile::ReadResult WholeFile::read(const std::filesystem::path& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return {(errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed, {}};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode))
        return {ReadStatus::Failed, {}};
    QByteArray content;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
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
    const std::filesystem::path dir = target->has_parent_path() ? target->parent_path() : ".";
    const std::string name = target->filename().string();
    std::string temp = (dir / ("." + name + tempInfix + std::string(tempSuffixLength, 'X'))).string();

    // A read-only file stays as it is, although the folder would let us replace it.
    if (::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        return false;
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    struct stat existing {};
    const mode_t mode =
        ::stat(target->c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    ::fchmod(fd.get(), mode); // best effort: some file systems have no permission bits
    const bool written = writeAll(fd.get(), content.constData(), content.size()) && ::fsync(fd.get()) == 0;
    if (!fd.close() || !written || ::rename(temp.c_str(), target->c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectory(dir);
    removeStaleTemporaries(dir, name);
    return true;
}

} // namespace platform
