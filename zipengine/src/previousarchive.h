#pragma once

#include "archiveoutput.h"
#include "archivereader.h"
#include "archiveverifier.h"
#include "entryrecord.h"
#include "zipengine_api.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct libdeflate_decompressor;

// The archive an add job updates: which of its entries the files of the list replace or keep, and
// the copying of kept entries into the new archive, each checked against its CRC on the way.
class PreviousArchive {
public:
    PreviousArchive(std::size_t fileCount, int threads);
    ~PreviousArchive();
    PreviousArchive(const PreviousArchive&) = delete;
    PreviousArchive& operator=(const PreviousArchive&) = delete;

    // False with reader().errorText() when it cannot be read or is no usable archive.
    bool open(const std::string& path);
    ArchiveReader& reader() { return m_reader; }
    const ArchiveReader& reader() const { return m_reader; }

    // Per file of the list: its entry here, or -1.
    std::int32_t entryOf(std::size_t file) const { return m_entryOf[file]; }
    void setEntryOf(std::size_t file, std::size_t entry) {
        m_entryOf[file] = static_cast<std::int32_t>(entry);
    }
    // Per entry: replaced by a file, dropped, or already copied.
    bool used(std::size_t entry) const { return m_used[entry]; }
    void setUsed(std::size_t entry, bool used) { m_used[entry] = used; }
    // Per entry: its data failed the CRC check.
    bool bad(std::size_t entry) const { return m_bad[entry]; }
    void markBad(std::size_t entry) { m_bad[entry] = true; }

    // Starts checking the entries to be kept (those of up-to-date files and of files not listed)
    // on every core, in archive order, while the job copies them.
    void startKeptCheck(const ZeFileResult* results, std::size_t fileCount);
    void endKeptCheck();

    enum class Copy { Done, Damaged, WriteFailed };
    // Copies an entry with its data to `out` as it is; `record` is what its central header says.
    // Damaged: its data did not match its CRC, and nothing of it stays in `out`.
    Copy copyEntry(std::size_t entry, ArchiveOutput& out, EntryRecord& record);

private:
    Copy copyAndCheck(std::size_t index, const ArchiveReader::Entry& entry, std::uint64_t dataOffset,
                      ArchiveOutput& out, EntryRecord& record);

    std::size_t m_fileCount = 0;
    int m_threads = 1;
    ArchiveReader m_reader;
    std::vector<std::int32_t> m_entryOf;
    std::vector<bool> m_used;
    std::vector<bool> m_bad;
    std::vector<bool> m_keptToCheck; // per entry
    std::unique_ptr<ArchiveVerifier> m_keptVerifier;
    std::thread m_keptThread;
    std::atomic<bool> m_keptStop{false};
    libdeflate_decompressor* m_decompressor = nullptr;
};
