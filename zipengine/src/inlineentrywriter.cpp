#include "inlineentrywriter.h"

#include "compresstask.h"
#include "crc32combine.h"
#include "engineplatform.h"
#include "taskschedule.h"
#include "zipformat.h"

#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

using namespace zipformat;

namespace {

std::int64_t nanoseconds(const engineplatform::FileStatus& st) {
    return zipformat::nanosecondsOf(st.mtime);
}

} // namespace

InlineEntryWriter::InlineEntryWriter(ArchiveOutput& out, int level, std::function<bool()> cancelled)
    : m_out(out)
    , m_level(level > 0 ? level : 1)
    , m_cancelled(std::move(cancelled)) {}

InlineEntryWriter::~InlineEntryWriter() {
    if (m_compressor != nullptr)
        libdeflate_free_compressor(m_compressor);
}

InlineEntryWriter::Result InlineEntryWriter::write(const char* path, const std::string& name, bool deflate,
                                                   bool acceptChange) {
    Result result;
    const std::int64_t readNs = CompressTask::wallClockNs();
    const int fd = engineplatform::openForReading(path);
    engineplatform::FileStatus st;
    if (fd < 0 || engineplatform::openFileStatus(fd, st) != 0 || !st.isFile()) {
        result.error = fd < 0 ? errno : EINVAL;
        if (fd >= 0)
            ::close(fd);
        result.outcome = Outcome::Skipped;
        return result;
    }
    if (m_compressor == nullptr)
        m_compressor = libdeflate_alloc_compressor(m_level);
    const auto size = static_cast<std::uint64_t>(st.size);
    result.mtimeNs = nanoseconds(st);
    EntryRecord& record = result.record;
    record = EntryRecord::forFile(name, st.mtime, st.mode, readNs);
    deflate = deflate && size > 0 && m_compressor != nullptr;
    record.method = deflate ? MethodDeflate : MethodStore;
    record.zip64Local = size > Max32;
    const std::uint64_t entryStart = m_out.position();
    record.localOffset = entryStart;
    std::uint64_t dataStart = 0;
    result.outcome = writeData(fd, size, deflate, record, dataStart, result.error);
    if (result.outcome == Outcome::Written) {
        result.changed = changedSinceOpened(fd, size, result.mtimeNs, record.uncompressedSize);
        if (deflate && record.compressedSize >= record.uncompressedSize) {
            bool changedAgain = false;
            result.outcome =
                storeAgain(m_out, fd, record, dataStart, m_cancelled, changedAgain, result.error);
            result.changed = result.changed || changedAgain;
        }
    }
    ::close(fd);
    if (result.outcome != Outcome::Written)
        return result;
    if (result.changed && !acceptChange) {
        result.outcome = m_out.truncate(entryStart) ? Outcome::Changed : Outcome::WriteFailed;
        return result;
    }
    if (!completeLocalHeader(m_out, record, entryStart))
        result.outcome = Outcome::WriteFailed;
    return result;
}

InlineEntryWriter::Outcome InlineEntryWriter::writeData(int fd, std::uint64_t size, bool deflate,
                                                        EntryRecord& record, std::uint64_t& dataStart,
                                                        int& error) {
    if (!m_out.write(record.localHeader()))
        return Outcome::WriteFailed;
    dataStart = m_out.position();
    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    std::uint64_t dataSize = 0;
    for (std::uint64_t offset = 0; offset < size || offset == 0;) {
        if (m_cancelled())
            return Outcome::Cancelled;
        CompressTask piece;
        piece.wholeFile = false;
        piece.fd = fd;
        piece.offset = offset;
        piece.length = std::min<std::uint64_t>(TaskSchedule::PieceSize, size - offset);
        piece.deflate = deflate;
        piece.lastPiece = offset + piece.length >= size;
        piece.run(m_compressor);
        if (piece.error != 0) {
            error = piece.error > 0 ? piece.error : EIO;
            return m_out.truncate(record.localOffset) ? Outcome::Skipped : Outcome::WriteFailed;
        }
        if (!m_out.write(piece.data.data(), piece.dataSize))
            return Outcome::WriteFailed;
        crc = crc32Combine(crc, piece.crc, piece.rawSize);
        rawSize += piece.rawSize;
        dataSize += piece.dataSize;
        offset += piece.length;
        if (piece.lastPiece)
            break;
    }
    record.crc = crc;
    record.compressedSize = dataSize;
    record.uncompressedSize = rawSize;
    return Outcome::Written;
}

InlineEntryWriter::Outcome InlineEntryWriter::storeAgain(ArchiveOutput& out, int fd, EntryRecord& record,
                                                         std::uint64_t dataStart,
                                                         const std::function<bool()>& cancelled,
                                                         bool& changed, int& error) {
    if (!out.truncate(dataStart))
        return Outcome::WriteFailed;
    std::vector<unsigned char> buffer(TaskSchedule::PieceSize);
    std::uint32_t crc = 0;
    std::uint64_t done = 0;
    while (done < record.uncompressedSize) {
        if (cancelled())
            return Outcome::Cancelled;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(TaskSchedule::PieceSize, record.uncompressedSize - done));
        const std::int64_t n = engineplatform::readAt(fd, buffer.data(), want, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return out.truncate(record.localOffset) ? Outcome::Skipped : Outcome::WriteFailed;
        }
        if (n == 0)
            break;
        crc = libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n));
        if (!out.write(buffer.data(), static_cast<std::size_t>(n)))
            return Outcome::WriteFailed;
        done += static_cast<std::uint64_t>(n);
    }
    changed = done != record.uncompressedSize || crc != record.crc;
    record.method = MethodStore;
    record.crc = crc;
    record.compressedSize = done;
    record.uncompressedSize = done;
    return Outcome::Written;
}

bool InlineEntryWriter::completeLocalHeader(ArchiveOutput& out, const EntryRecord& record,
                                            std::uint64_t entryStart) {
    const std::string header = record.localHeader();
    if (record.zip64Local) {
        std::string sizes;
        put64(sizes, record.uncompressedSize);
        put64(sizes, record.compressedSize);
        if (!out.writeAt(entryStart + record.localZip64Offset(), sizes.data(), sizes.size()))
            return false;
    }
    return out.writeAt(entryStart, header.data(), LocalHeaderSize);
}

bool InlineEntryWriter::changedSinceOpened(int fd, std::uint64_t plannedSize, std::int64_t openedMtimeNs,
                                           std::uint64_t bytesRead) {
    engineplatform::FileStatus st;
    return bytesRead != plannedSize || engineplatform::openFileStatus(fd, st) != 0 ||
           static_cast<std::uint64_t>(st.size) != plannedSize || nanoseconds(st) != openedMtimeNs;
}
