#include "archiveoutput.h"

#include "engineplatform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t BufferSize = 1 << 20;

using engineplatform::baseNameOf;
using engineplatform::folderOf;

constexpr const char* TempMark = ".tmp-";
constexpr std::size_t TempDigits = 6;

// What a temporary of the archive named `base` begins with.
std::string tempPrefixOf(const std::string& base) {
    return "." + base + TempMark;
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
    const FolderHandle folder = FolderHandle::open(folderOf(target));
    if (!folder.ok())
        return 0;
    const std::string prefix = tempPrefixOf(baseNameOf(target));
    int removed = 0;
    for (const std::string& name : folder.names()) {
        FolderHandle::Status status;
        if (isTempNameOf(name, prefix) && folder.status(name, status) &&
            status.kind == FolderHandle::Kind::File && folder.remove(name))
            ++removed;
    }
    return removed;
}

std::string ArchiveOutput::linkTarget(const std::string& path) {
    std::string target = path;
    std::string next;
    for (int hop = 0; hop < 40 && engineplatform::linkedPath(target, next); ++hop)
        target = next;
    return target;
}

ArchiveOutput::~ArchiveOutput() {
    discard();
}

bool ArchiveOutput::create(const std::string& target) {
    m_target = target;
    m_buffer.resize(BufferSize);
    m_folder = FolderHandle::open(folderOf(target));
    if (!m_folder.ok() ||
        !m_file.create(m_folder, tempPrefixOf(baseNameOf(target)), std::string(), 0666, m_unnamedAllowed))
        return fail("creating a temporary file");
    engineplatform::copyPermissions(m_file.fd(), target.c_str());
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
        const std::int64_t n = engineplatform::writeSome(m_file.fd(), p, size);
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
    engineplatform::startWriteback(m_file.fd(), m_writebackFrom, m_fileEnd - m_writebackFrom);
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
    if (m_errno != 0 || m_file.fd() < 0)
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
        const std::int64_t n =
            engineplatform::writeAt(m_file.fd(), p, size, static_cast<std::uint64_t>(offset));
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
    if (!engineplatform::truncateFile(m_file.fd(), size))
        return fail("writing");
    m_position = size;
    m_fileEnd = size;
    m_writebackFrom = std::min(m_writebackFrom, size);
    return true;
}

bool ArchiveOutput::copyFrom(int fd, std::uint64_t offset, std::uint64_t length) {
    if (!flush())
        return false;
    std::uint64_t in = offset;
    bool useCopyRange = true;
    while (length > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 30));
        std::int64_t n = -1;
        if (useCopyRange) {
            n = engineplatform::copyRange(fd, in, m_file.fd(), chunk);
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
                in += static_cast<std::uint64_t>(n);
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
    if (!engineplatform::syncFile(m_file.fd()))
        return fail("writing to disk");
    if (!m_file.nameTemporarily())
        return fail("naming the new archive");
    if (!m_file.place(baseNameOf(m_target), true))
        return fail("replacing the archive");
    m_folder.sync();
    return true;
}

void ArchiveOutput::discard() {
    m_file.discard();
}
