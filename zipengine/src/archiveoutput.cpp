#include "archiveoutput.h"

#include "engineplatform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

constexpr std::size_t BufferSize = 1 << 20;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr const char* TempMark = ".tmp-";
constexpr std::size_t TempDigits = 6;

std::string tempNameFor(const std::string& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%s%06llx", TempMark,
                  static_cast<unsigned long long>(random() & 0xffffff));
    return ArchiveOutput::besideTarget(target, suffix);
}

bool isTempNameOf(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + TempDigits || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

std::string ArchiveOutput::besideTarget(const std::string& target, const std::string& suffix) {
    const std::string folder = folderOf(target);
    return (folder == "/" ? std::string() : folder) + "/." + baseNameOf(target) + suffix;
}

int ArchiveOutput::removeStaleTemporaries(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string prefix = "." + baseNameOf(target) + TempMark;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    int removed = 0;
    const std::string base = folder == "/" ? std::string() : folder;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat st {};
        const std::string path = base + "/" + name;
        if (isTempNameOf(name, prefix) && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

std::string ArchiveOutput::linkTarget(const std::string& path) {
    std::string target = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(target.c_str(), buffer.data(), buffer.size() - 1);
        if (n <= 0)
            break;
        const std::string link(buffer.data(), static_cast<std::size_t>(n));
        if (link.front() == '/') {
            target = link;
        } else {
            const std::size_t slash = target.rfind('/');
            target = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
        }
    }
    return target;
}

ArchiveOutput::~ArchiveOutput() {
    discard();
}

bool ArchiveOutput::create(const std::string& target) {
    m_target = target;
    m_buffer.resize(BufferSize);
    m_fd = m_unnamedAllowed ? engineplatform::openUnnamedTemporary(folderOf(target).c_str(), 0666) : -1;
    if (m_fd < 0) {
        for (int attempt = 0; attempt < 20 && m_fd < 0; ++attempt) {
            m_namedTemp = tempNameFor(target);
            m_fd = ::open(m_namedTemp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        if (m_fd < 0) {
            m_namedTemp.clear();
            return fail("creating a temporary file");
        }
    }
    struct stat previous {};
    if (::stat(target.c_str(), &previous) == 0) {
        ::fchmod(m_fd, previous.st_mode & 07777);
        if (::fchown(m_fd, previous.st_uid, previous.st_gid) != 0) {
            // Another owner is kept only where we may set it; the permissions above still apply.
        }
    }
    return true;
}

bool ArchiveOutput::fail(const char* context) {
    if (m_errno == 0) {
        m_errno = errno != 0 ? errno : EIO;
        m_context = context;
    }
    return false;
}

bool ArchiveOutput::writeRaw(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("writing");
        }
        if (n == 0) {
            errno = ENOSPC;
            return fail("writing");
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        m_fileEnd += static_cast<std::uint64_t>(n);
    }
    startWriteback();
    return true;
}

void ArchiveOutput::startWriteback() {
    // The disk gets the data while the rest is still being made, so that the sync before the
    // archive is put in place waits for the last few megabytes only.
    constexpr std::uint64_t Step = 8 << 20;
    if (m_fileEnd - m_writebackFrom < Step)
        return;
    ::sync_file_range(m_fd, static_cast<off_t>(m_writebackFrom),
                      static_cast<off_t>(m_fileEnd - m_writebackFrom), SYNC_FILE_RANGE_WRITE);
    m_writebackFrom = m_fileEnd;
}

bool ArchiveOutput::flush() {
    if (m_errno != 0)
        return false;
    const std::size_t pending = m_buffered;
    m_buffered = 0;
    return pending == 0 || writeRaw(m_buffer.data(), pending);
}

bool ArchiveOutput::write(const void* data, std::size_t size) {
    if (m_errno != 0 || m_fd < 0)
        return false;
    if (size == 0)
        return true; // an empty file's data may come as no buffer at all
    if (m_buffered + size > m_buffer.size()) {
        if (!flush())
            return false;
        if (size >= m_buffer.size()) {
            if (!writeRaw(data, size))
                return false;
            m_position += size;
            return true;
        }
    }
    std::memcpy(m_buffer.data() + m_buffered, data, size);
    m_buffered += size;
    m_position += size;
    return true;
}

bool ArchiveOutput::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (!flush())
        return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = engineplatform::writeAt(m_fd, p, size, static_cast<std::uint64_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("writing");
        }
        p += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ArchiveOutput::truncate(std::uint64_t size) {
    if (!flush())
        return false;
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0 ||
        ::lseek(m_fd, static_cast<off_t>(size), SEEK_SET) < 0)
        return fail("writing");
    m_position = size;
    m_fileEnd = size;
    m_writebackFrom = std::min(m_writebackFrom, size);
    return true;
}

bool ArchiveOutput::copyFrom(int fd, std::uint64_t offset, std::uint64_t length) {
    if (!flush())
        return false;
    loff_t in = static_cast<loff_t>(offset);
    bool useCopyRange = true;
    while (length > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 30));
        ssize_t n = -1;
        if (useCopyRange) {
            n = ::copy_file_range(fd, &in, m_fd, nullptr, chunk, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                useCopyRange = false;
                continue;
            }
        } else {
            const std::size_t part = std::min(chunk, m_buffer.size());
            n = engineplatform::readAt(fd, m_buffer.data(), part, in);
            if (n > 0 && !writeRaw(m_buffer.data(), static_cast<std::size_t>(n)))
                return false;
            if (n > 0)
                in += n;
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("copying an entry of the previous archive");
        }
        if (n == 0) {
            errno = EIO; // the previous archive is shorter than its directory says
            return fail("copying an entry of the previous archive");
        }
        length -= static_cast<std::uint64_t>(n);
        m_position += static_cast<std::uint64_t>(n);
        if (useCopyRange)
            m_fileEnd += static_cast<std::uint64_t>(n); // writeRaw counts the other way
    }
    startWriteback();
    return true;
}

bool ArchiveOutput::commit() {
    if (!flush())
        return false;
    if (::fsync(m_fd) != 0)
        return fail("writing to disk");
    if (m_namedTemp.empty()) {
        // Give the unnamed file a temporary name beside the target, then rename it into place.
        const std::string linkName = tempNameFor(m_target);
        const std::string procPath = "/proc/self/fd/" + std::to_string(m_fd);
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, linkName.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
            ::linkat(m_fd, "", AT_FDCWD, linkName.c_str(), AT_EMPTY_PATH) != 0)
            return fail("naming the new archive");
        m_namedTemp = linkName;
    }
    if (::rename(m_namedTemp.c_str(), m_target.c_str()) != 0)
        return fail("replacing the archive");
    m_namedTemp.clear();
    ::close(m_fd);
    m_fd = -1;
    const int folder = ::open(folderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void ArchiveOutput::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_namedTemp.empty()) {
        ::unlink(m_namedTemp.c_str());
        m_namedTemp.clear();
    }
}
