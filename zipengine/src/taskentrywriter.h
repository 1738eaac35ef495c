#pragma once

#include "archiveoutput.h"
#include "compresstask.h"
#include "entryrecord.h"
#include "taskschedule.h"

#include <cstdint>
#include <functional>
#include <memory>

class CompressionPool;

// Takes the tasks the workers completed, in list order, and writes the entry of a large file from
// its pieces as they arrive, completing its local header afterwards.
class TaskEntryWriter {
public:
    enum class Outcome {
        Written,     // the entry is complete in the output
        Changed,     // the file changed while it was read; nothing of it stays in the output
        Skipped,     // the file could not be read (`error`); nothing of it stays in the output
        Cancelled,   // the job is to stop
        WriteFailed, // the output could not be written
        OutOfOrder,  // the tasks did not come in list order
    };
    struct Result {
        Outcome outcome = Outcome::Written;
        int error = 0;
        EntryRecord record;
    };
    struct Hooks {
        std::function<bool()> cancelled;
        // A piece of the file at `index` was written: its planned bytes, and the file's bytes
        // written so far.
        std::function<void(std::size_t index, std::uint64_t plannedBytes, std::uint64_t fileDone)> pieceDone;
    };

    TaskEntryWriter(ArchiveOutput& out, TaskSchedule& schedule, CompressionPool& pool, Hooks hooks);

    // The next task, which must be of the file at `index`; null when it is not (the stray task is
    // kept until the pool has stopped).
    std::unique_ptr<CompressTask> nextTask(std::size_t index);
    // False when the job was cancelled first.
    bool waitFor(CompressTask& task);
    // Holds on to a task a worker may still be reading into, until the pool has stopped.
    void abandon(std::unique_ptr<CompressTask> task);

    // Writes the entry of a small file from its completed task; false when the output could not be
    // written.
    bool writeSmall(const CompressTask& task, EntryRecord& record);

    // Writes the entry `record` (its name, time and mode set) of the large file at `index`, whose
    // first piece is scheduled; closes the file.
    Result writeLarge(std::size_t index, EntryRecord record, bool deflate, std::uint64_t plannedSize);

private:
    Outcome writePieces(std::size_t index, EntryRecord& record, std::uint32_t& dataCrc, bool& streamClosed,
                        int& error);
    Result finishLarge(std::size_t index, Result result, bool deflate, std::uint64_t plannedSize,
                       std::uint64_t entryStart, std::uint64_t dataStart, std::uint32_t dataCrc,
                       bool streamClosed);

    ArchiveOutput& m_out;
    TaskSchedule& m_schedule;
    CompressionPool& m_pool;
    Hooks m_hooks;
};
