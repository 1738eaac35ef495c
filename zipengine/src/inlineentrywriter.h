#pragma once

#include "archiveoutput.h"
#include "entryrecord.h"

#include <cstdint>
#include <functional>
#include <string>

struct libdeflate_compressor;

// Reads one file on the calling thread and writes its entry to the new archive piece by piece: a
// file read again after it changed while a worker read it, or whose kept entry had rotted.
class InlineEntryWriter {
public:
    enum class Outcome {
        Written,     // the entry is complete in the output; `changed` says whether the file changed
        Changed,     // the file changed while it was read, and nothing of it stays in the output
        Skipped,     // the file could not be read (`error`); nothing of it stays in the output
        Cancelled,   // the job is to stop
        WriteFailed, // the output could not be written
    };
    struct Result {
        Outcome outcome = Outcome::Written;
        int error = 0;
        bool changed = false;
        EntryRecord record;
        std::int64_t mtimeNs = 0;
    };

    InlineEntryWriter(ArchiveOutput& out, int level, std::function<bool()> cancelled);
    ~InlineEntryWriter();
    InlineEntryWriter(const InlineEntryWriter&) = delete;
    InlineEntryWriter& operator=(const InlineEntryWriter&) = delete;

    // Writes the entry `name` of the file at `path`; with `acceptChange` a file that changed while
    // it was read is stored as read (Written with `changed`), otherwise it gives Changed.
    Result write(const char* path, const std::string& name, bool deflate, bool acceptChange);

    // Deflate did not make the entry smaller: stores the file instead, read again from the start
    // (written after `dataStart`). This read must give the bytes of the first (same size and CRC),
    // or `changed` is set. Skipped leaves the output cut back to the entry's start.
    static Outcome storeAgain(ArchiveOutput& out, int fd, EntryRecord& record, std::uint64_t dataStart,
                              const std::function<bool()>& cancelled, bool& changed, int& error);

    // Fills in the local header of an entry written before its sizes and CRC were known.
    static bool completeLocalHeader(ArchiveOutput& out, const EntryRecord& record, std::uint64_t entryStart);

    // Whether an open file is not what it was when it was opened, or was read short.
    static bool changedSinceOpened(int fd, std::uint64_t plannedSize, std::int64_t openedMtimeNs,
                                   std::uint64_t bytesRead);

private:
    Outcome writeData(int fd, std::uint64_t size, bool deflate, EntryRecord& record, std::uint64_t& dataStart,
                      int& error);

    ArchiveOutput& m_out;
    int m_level;
    std::function<bool()> m_cancelled;
    libdeflate_compressor* m_compressor = nullptr;
};
