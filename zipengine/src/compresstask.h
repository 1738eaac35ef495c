#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <vector>

struct libdeflate_compressor;
class ListedFiles;

// One unit of work for the compression workers: a whole small file, or one piece of a large one.
// The writer creates tasks in list order and consumes their results in the same order.
struct CompressTask {
    // Input, set by the writer before the task is queued.
    std::size_t fileIndex = 0;
    const char* path = nullptr; // whole file: opened by the worker
    int fd = -1;                // piece of a large file: already open, read with pread
    std::uint64_t offset = 0;
    std::uint64_t length = 0; // piece length, or the most a whole file may have
    bool wholeFile = true;
    bool deflate = true;
    bool lastPiece = true; // the piece that ends the file keeps the final-block bit
    std::uint64_t plannedBytes = 0;

    // Output, valid once `done` is set.
    bool done = false;
    int error = 0; // errno of a failed open or read, -1 for a compression failure, or ChangedWhileRead
    // The file's size or time changed while it was read: what was read is no state it ever had.
    static constexpr int ChangedWhileRead = -2;
    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    bool deflated = false; // data holds deflate output (otherwise the raw bytes)
    std::vector<unsigned char> data;
    std::size_t dataSize = 0;
    std::uint32_t dataCrc = 0; // CRC-32 of `data`
    std::int64_t mtimeNs = 0;  // whole file: as seen when it was opened
    struct timespec mtime {};  // the same, exact
    std::int64_t readNs = 0;   // whole file: the moment it was opened (wall clock)
    std::uint32_t mode = 0;

    // Reads and compresses; called on a worker thread.
    // `files`, where given, opens the whole file (one a worker).
    void run(libdeflate_compressor* compressor, ListedFiles* files = nullptr);

    // The wall clock in nanoseconds, as file times count.
    static std::int64_t wallClockNs();

private:
    bool readWholeFile(ListedFiles* files);
    bool readPiece();
    void compress(libdeflate_compressor* compressor);
};
