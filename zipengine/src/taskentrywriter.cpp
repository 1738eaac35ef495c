#include "taskentrywriter.h"

#include "compressionpool.h"
#include "crc32combine.h"
#include "inlineentrywriter.h"
#include "zipformat.h"

#include <libdeflate.h>

#include <cerrno>

using namespace zipformat;

TaskEntryWriter::TaskEntryWriter(ArchiveOutput& out, TaskSchedule& schedule, CompressionPool& pool,
                                 Hooks hooks)
    : m_out(out)
    , m_schedule(schedule)
    , m_pool(pool)
    , m_hooks(std::move(hooks)) {}

std::unique_ptr<CompressTask> TaskEntryWriter::nextTask(std::size_t index) {
    std::unique_ptr<CompressTask> task = m_schedule.next();
    if (!task || task->fileIndex != index) {
        if (task)
            m_schedule.keep(std::move(task));
        return nullptr;
    }
    return task;
}

bool TaskEntryWriter::waitFor(CompressTask& task) {
    return m_pool.wait(&task, m_hooks.cancelled);
}

void TaskEntryWriter::abandon(std::unique_ptr<CompressTask> task) {
    m_schedule.keep(std::move(task));
}

bool TaskEntryWriter::writeSmall(const CompressTask& task, EntryRecord& record) {
    record.method = task.deflated ? MethodDeflate : MethodStore;
    record.crc = task.crc;
    record.compressedSize = task.dataSize;
    record.uncompressedSize = task.rawSize;
    if (task.deflated)
        record.addStoredCrc(task.dataCrc);
    record.localOffset = m_out.position();
    return m_out.write(record.localHeader()) && m_out.write(task.data.data(), task.dataSize);
}

TaskEntryWriter::Result TaskEntryWriter::writeLarge(std::size_t index, EntryRecord record, bool deflate,
                                                    std::uint64_t plannedSize) {
    Result result;
    result.record = std::move(record);
    result.record.method = deflate ? MethodDeflate : MethodStore;
    result.record.zip64Local = plannedSize > Max32;
    const std::uint64_t entryStart = m_out.position();
    result.record.localOffset = entryStart;
    if (!m_out.write(result.record.localHeader())) {
        result.outcome = Outcome::WriteFailed;
        return result;
    }
    const std::uint64_t dataStart = m_out.position();
    std::uint32_t dataCrc = 0;
    bool streamClosed = false;
    result.outcome = writePieces(index, result.record, dataCrc, streamClosed, result.error);
    if (result.outcome != Outcome::Written)
        return result;
    result = finishLarge(index, std::move(result), deflate, plannedSize, entryStart, dataStart, dataCrc,
                         streamClosed);
    m_schedule.closeLargeFile(index);
    return result;
}

TaskEntryWriter::Outcome TaskEntryWriter::writePieces(std::size_t index, EntryRecord& record,
                                                      std::uint32_t& dataCrc, bool& streamClosed,
                                                      int& error) {
    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    std::uint64_t dataSize = 0;
    for (bool last = false; !last;) {
        if (m_hooks.cancelled())
            return Outcome::Cancelled;
        std::unique_ptr<CompressTask> task = nextTask(index);
        if (!task)
            return Outcome::OutOfOrder;
        if (!waitFor(*task)) {
            abandon(std::move(task));
            return Outcome::Cancelled;
        }
        last = task->lastPiece;
        if (task->error == ECANCELED && m_hooks.cancelled())
            return Outcome::Cancelled;
        if (error != 0 || task->error != 0) {
            error = error != 0 ? error : (task->error > 0 ? task->error : EIO);
            continue;
        }
        if (!m_out.write(task->data.data(), task->dataSize))
            return Outcome::WriteFailed;
        crc = crc32Combine(crc, task->crc, task->rawSize);
        dataCrc = crc32Combine(dataCrc, task->dataCrc, task->dataSize);
        rawSize += task->rawSize;
        dataSize += task->dataSize;
        if (task->deflated)
            streamClosed = task->lastPiece;
        m_hooks.pieceDone(index, task->plannedBytes, rawSize);
    }
    record.crc = crc;
    record.compressedSize = dataSize;
    record.uncompressedSize = rawSize;
    if (error == 0)
        return Outcome::Written;
    m_schedule.closeLargeFile(index);
    return m_out.truncate(record.localOffset) ? Outcome::Skipped : Outcome::WriteFailed;
}

TaskEntryWriter::Result TaskEntryWriter::finishLarge(std::size_t index, Result result, bool deflate,
                                                     std::uint64_t plannedSize, std::uint64_t entryStart,
                                                     std::uint64_t dataStart, std::uint32_t dataCrc,
                                                     bool streamClosed) {
    EntryRecord& record = result.record;
    const TaskSchedule::LargeFile file = m_schedule.largeFile(index);
    bool changed =
        InlineEntryWriter::changedSinceOpened(file.fd, plannedSize, file.mtimeNs, record.uncompressedSize);
    if (deflate && !streamClosed && !changed) {
        static const unsigned char emptyFinalBlock[] = {0x03, 0x00};
        if (!m_out.write(emptyFinalBlock, sizeof emptyFinalBlock)) {
            result.outcome = Outcome::WriteFailed;
            return result;
        }
        record.compressedSize += sizeof emptyFinalBlock;
        dataCrc =
            static_cast<std::uint32_t>(libdeflate_crc32(dataCrc, emptyFinalBlock, sizeof emptyFinalBlock));
    }
    if (!changed && deflate && record.compressedSize >= record.uncompressedSize) {
        const InlineEntryWriter::Outcome stored = InlineEntryWriter::storeAgain(
            m_out, file.fd, record, dataStart, m_hooks.cancelled, changed, result.error);
        switch (stored) {
        case InlineEntryWriter::Outcome::Skipped:
            result.outcome = Outcome::Skipped;
            return result;
        case InlineEntryWriter::Outcome::Cancelled:
            result.outcome = Outcome::Cancelled;
            return result;
        case InlineEntryWriter::Outcome::WriteFailed:
            result.outcome = Outcome::WriteFailed;
            return result;
        default:
            break;
        }
        changed = changed || InlineEntryWriter::changedSinceOpened(file.fd, plannedSize, file.mtimeNs,
                                                                   record.uncompressedSize);
    }
    if (changed) {
        // What was read is no state the file ever had: it is read again from the start.
        result.outcome = m_out.truncate(entryStart) ? Outcome::Changed : Outcome::WriteFailed;
        return result;
    }
    if (record.method == MethodDeflate)
        record.addStoredCrc(dataCrc);
    if (!InlineEntryWriter::completeLocalHeader(m_out, record, entryStart))
        result.outcome = Outcome::WriteFailed;
    return result;
}
