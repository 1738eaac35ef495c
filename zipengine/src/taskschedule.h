#pragma once

#include "compresstask.h"
#include "zipengine_api.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>

class CompressionPool;

// Creates the compression tasks in list order ahead of the writer, within a budget of raw bytes
// and of tasks, and owns them and the large files they read. A small file is one task; a large one
// is opened here when its first piece is scheduled and read in pieces. Destroy the schedule only
// after the pool has stopped.
class TaskSchedule {
public:
    static constexpr std::uint64_t PieceSize = 2 << 20;
    static bool isLarge(std::uint64_t size) { return size > PieceSize; }

    struct Plan {
        std::function<bool(std::size_t)> toRead;  // the file is to be read and written
        std::function<bool(std::size_t)> deflate; // its data is to be deflated
    };
    struct LargeFile {
        int fd = -1;
        int error = 0; // errno of a failed open
        std::int64_t mtimeNs = 0;
        struct timespec mtime {};
        std::int64_t readNs = 0; // the moment it was opened (wall clock)
        std::uint32_t mode = 0;
    };

    TaskSchedule(const ZeAddCommand& command, const ZeFileResult* results, Plan plan, CompressionPool& pool);
    ~TaskSchedule();

    TaskSchedule(const TaskSchedule&) = delete;
    TaskSchedule& operator=(const TaskSchedule&) = delete;

    // Schedules as far ahead as the budget allows.
    void fill();
    // The next task in list order, or nullptr when there is none.
    std::unique_ptr<CompressTask> next();
    // Holds on to a task a worker may still be using.
    void keep(std::unique_ptr<CompressTask> task);

    // The large file at `index`, once its first piece has been scheduled.
    LargeFile largeFile(std::size_t index) const;
    void closeLargeFile(std::size_t index);

private:
    bool openLargeFile(std::size_t index);

    const ZeAddCommand& m_command;
    const ZeFileResult* m_results;
    Plan m_plan;
    CompressionPool& m_pool;
    std::deque<std::unique_ptr<CompressTask>> m_tasks;
    std::size_t m_nextFile = 0;
    std::uint64_t m_nextPieceOffset = 0;
    std::uint64_t m_plannedBytes = 0; // raw bytes of the tasks handed out or waiting
    std::map<std::size_t, LargeFile> m_largeFiles;
};
