#include "restore/archiveverify.h"

#include "platform/pathbytes.h"

#include "archivereader.h"
#include "entrydatacheck.h"

#include <libdeflate.h>

#include <memory>

namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

} // namespace

ArchiveVerify::Result ArchiveVerify::run(const std::filesystem::path& archive, const Progress& progress,
                                         const std::atomic<bool>& cancel) {
    Result result;
    ArchiveReader reader;
    if (!reader.open(pathBytes(archive))) {
        result.error = reader.errorText();
        return result;
    }
    result.readable = true;
    result.entries = reader.count();
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
    for (std::size_t i = 0; i < reader.count(); ++i) {
        if (cancel.load(std::memory_order_relaxed)) {
            result.cancelled = true;
            break;
        }
        const ArchiveReader::Entry entry = reader.entry(i);
        std::uint64_t offset = 0;
        std::string localExtra;
        EntryDataCheck check(entry.method, entry.compressedSize, entry.uncompressedSize, entry.crc);
        if (!EntryDataCheck::readable(entry.method, entry.flags)) {
            result.unreadable.emplace_back(entry.name);
        } else if (!reader.locateData(entry, offset, localExtra) ||
                   !check.checkFile(reader.fd(), offset, decompressor.get())) {
            result.damaged.emplace_back(entry.name);
            result.damagedEntries.push_back(static_cast<std::uint32_t>(i));
        }
        ++result.checked;
        if (progress)
            progress(result.checked, result.entries);
    }
    return result;
}
