#include "compresstask.h"

#include "listedfiles.h"

#include "engineplatform.h"

#include "zipformat.h"

#include "deflatejoin.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// Reads up to `length` bytes at `offset` (or at the current position when offset is negative).
bool readFully(int fd, unsigned char* buffer, std::uint64_t length, std::int64_t offset, std::uint64_t& got,
               int& error) {
    got = 0;
    while (got < length) {
        const std::size_t want = static_cast<std::size_t>(length - got);
        const ssize_t n =
            offset < 0
                ? ::read(fd, buffer + got, want)
                : engineplatform::readAt(fd, buffer + got, want,
                                         static_cast<std::uint64_t>(offset + static_cast<std::int64_t>(got)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::uint64_t>(n);
    }
    return true;
}

} // namespace

std::int64_t CompressTask::wallClockNs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void CompressTask::run(libdeflate_compressor* compressor, ListedFiles* files) {
    if (wholeFile ? !readWholeFile(files) : !readPiece())
        return;
    crc = libdeflate_crc32(0, data.data(), static_cast<std::size_t>(rawSize));
    dataSize = static_cast<std::size_t>(rawSize);
    dataCrc = crc;
    if (deflate && rawSize > 0)
        compress(compressor);
}

bool CompressTask::readWholeFile(ListedFiles* files) {
    readNs = wallClockNs();
    const int file = files != nullptr ? files->open(path) : engineplatform::openForReading(path);
    if (file < 0) {
        error = errno;
        return false;
    }
    engineplatform::FileStatus st;
    if (engineplatform::openFileStatus(file, st) != 0) {
        error = errno;
        ::close(file);
        return false;
    }
    if (!st.isFile()) {
        error = st.isFolder() ? EISDIR : EINVAL;
        ::close(file);
        return false;
    }
    mtime = st.mtime;
    mtimeNs = zipformat::nanosecondsOf(st.mtime);
    mode = st.mode;
    // Read what the file holds now, but never more than the writer planned room for.
    const std::uint64_t wanted = std::min<std::uint64_t>(static_cast<std::uint64_t>(st.size), length);
    data.resize(static_cast<std::size_t>(wanted));
    bool ok = readFully(file, data.data(), wanted, -1, rawSize, error);
    engineplatform::FileStatus after;
    if (ok && (engineplatform::openFileStatus(file, after) != 0 ||
               static_cast<std::uint64_t>(after.size) != rawSize || after.mtime.tv_sec != st.mtime.tv_sec ||
               after.mtime.tv_nsec != st.mtime.tv_nsec)) {
        error = ChangedWhileRead;
        ok = false;
    }
    ::close(file);
    return ok;
}

bool CompressTask::readPiece() {
    data.resize(static_cast<std::size_t>(length));
    return readFully(fd, data.data(), length, static_cast<std::int64_t>(offset), rawSize, error);
}

void CompressTask::compress(libdeflate_compressor* compressor) {
    const std::size_t inSize = static_cast<std::size_t>(rawSize);
    std::vector<unsigned char> out(libdeflate_deflate_compress_bound(compressor, inSize) + 8);
    std::size_t outSize =
        libdeflate_deflate_compress(compressor, data.data(), inSize, out.data(), out.size());
    if (outSize == 0) {
        error = -1;
        return;
    }
    if (!lastPiece && !deflatejoin::makeJoinable(out, outSize)) {
        error = -1;
        return;
    }
    // A whole file that deflate does not shrink is stored; pieces stay deflate data (decided per file).
    if (wholeFile && outSize >= inSize)
        return;
    data.swap(out);
    dataSize = outSize;
    deflated = true;
    dataCrc = static_cast<std::uint32_t>(libdeflate_crc32(0, data.data(), dataSize));
}
