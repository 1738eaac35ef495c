#include "previousarchive.h"

#include "engineplatform.h"
#include "entrydatacheck.h"
#include "taskschedule.h"
#include "zipformat.h"

#include <libdeflate.h>

#include <algorithm>

using namespace zipformat;

PreviousArchive::PreviousArchive(std::size_t fileCount, int threads)
    : m_fileCount(fileCount)
    , m_threads(threads) {}

PreviousArchive::~PreviousArchive() {
    endKeptCheck();
    if (m_decompressor != nullptr)
        libdeflate_free_decompressor(m_decompressor);
}

bool PreviousArchive::open(const std::string& path) {
    if (!m_reader.open(path))
        return false;
    m_used.assign(m_reader.count(), false);
    for (std::size_t k = 0; k < m_reader.count(); ++k)
        m_used[k] = m_reader.superseded(k); // dropped: never copied
    m_bad.assign(m_reader.count(), false);
    m_entryOf.assign(m_fileCount, -1);
    return true;
}

void PreviousArchive::startKeptCheck(const ZeFileResult* results, std::size_t fileCount) {
    // Each copy waits for its entry's check and then moves its bytes as they are, without
    // inflating them a second time.
    std::vector<bool> kept(m_reader.count(), false);
    for (std::size_t i = 0; i < fileCount; ++i) {
        if (results[i].status == ZE_FILE_UP_TO_DATE)
            kept[static_cast<std::size_t>(m_entryOf[i])] = true;
    }
    std::size_t count = 0;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (!m_used[k])
            kept[k] = true;
        if (!kept[k])
            continue;
        const ArchiveReader::Entry entry = m_reader.entry(k);
        kept[k] = EntryDataCheck::readable(entry.method, entry.flags);
        count += kept[k] ? 1 : 0;
    }
    if (count == 0)
        return;
    m_keptToCheck = std::move(kept);
    m_keptVerifier = std::make_unique<ArchiveVerifier>(m_reader.fd(), m_keptToCheck, m_threads);
    m_keptVerifier->acceptStoredCrcs();
    m_keptThread = std::thread(
        [this] { m_keptVerifier->checkAll([this] { return m_keptStop.load(std::memory_order_relaxed); }); });
}

void PreviousArchive::endKeptCheck() {
    if (!m_keptThread.joinable())
        return;
    m_keptStop = true;
    m_keptThread.join();
}

PreviousArchive::Copy PreviousArchive::copyEntry(std::size_t index, ArchiveOutput& out, EntryRecord& record) {
    const ArchiveReader::Entry entry = m_reader.entry(index);
    std::uint64_t dataOffset = 0;
    std::string localExtra;
    if (!m_reader.locateData(entry, dataOffset, localExtra))
        return Copy::Damaged;
    record = EntryRecord::copyOf(entry, localExtra);
    record.localOffset = out.position();
    if (!out.write(record.localHeader()))
        return Copy::WriteFailed;
    const Copy copied = copyAndCheck(index, entry, dataOffset, out, record);
    if (copied == Copy::Damaged)
        return out.truncate(record.localOffset) ? Copy::Damaged : Copy::WriteFailed;
    if (copied != Copy::Done)
        return copied;
    if ((record.flags & FlagDataDescriptor) && !out.write(record.dataDescriptor()))
        return Copy::WriteFailed;
    return Copy::Done;
}

PreviousArchive::Copy PreviousArchive::copyAndCheck(std::size_t index, const ArchiveReader::Entry& entry,
                                                    std::uint64_t dataOffset, ArchiveOutput& out,
                                                    EntryRecord& record) {
    const auto copyAsItIs = [&] {
        // Its bytes were checked already (or cannot be): the system moves them without a pass
        // through this process.
        return out.copyFrom(m_reader.fd(), dataOffset, entry.compressedSize) ? Copy::Done : Copy::WriteFailed;
    };
    if (m_keptVerifier) {
        switch (m_keptVerifier->waitFor(index)) {
        case ArchiveVerifier::Entry::Sound:
            if (entry.method == MethodDeflate)
                record.addStoredCrc(m_keptVerifier->storedCrc(index));
            return copyAsItIs();
        case ArchiveVerifier::Entry::Damaged:
            return Copy::Damaged;
        case ArchiveVerifier::Entry::Unchecked:
            break; // the whole-archive check could not read it: checked as it is copied
        }
    }
    // Each kept entry's data is checked against its CRC as it is copied, so that bytes rotted in
    // the previous archive are not carried into every later one.
    EntryDataCheck check(entry.method, entry.compressedSize, entry.uncompressedSize, entry.crc);
    if (!EntryDataCheck::readable(entry.method, entry.flags))
        return copyAsItIs();
    if (m_decompressor == nullptr)
        m_decompressor = libdeflate_alloc_decompressor();
    const bool whole = check.fitsInMemory();
    const std::uint64_t step = whole ? entry.compressedSize : TaskSchedule::PieceSize;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(step, entry.compressedSize)));
    for (std::uint64_t done = 0; done < entry.compressedSize || (whole && done == 0);) {
        const auto got = static_cast<std::size_t>(std::min(step, entry.compressedSize - done));
        // Shorter than its directory says, or unreadable: damaged.
        if (!engineplatform::readAllAt(m_reader.fd(), buffer.data(), got, dataOffset + done))
            return Copy::Damaged;
        if (whole ? !check.check(buffer.data(), got, m_decompressor) : !check.feed(buffer.data(), got))
            return Copy::Damaged;
        if (!out.write(buffer.data(), got))
            return Copy::WriteFailed;
        done += got;
        if (whole)
            break;
    }
    if (!whole && !check.finish())
        return Copy::Damaged;
    if (entry.method == MethodDeflate)
        record.addStoredCrc(check.storedCrc());
    return Copy::Done;
}
