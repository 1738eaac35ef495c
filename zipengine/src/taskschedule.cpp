#include "taskschedule.h"

#include "engineplatform.h"

#include "zipformat.h"

#include "compressionpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {
constexpr std::uint64_t MaxPlannedBytes = 64 << 20; // raw bytes read ahead of the writer, at most
constexpr std::size_t MaxTasks = 512;
} // namespace

TaskSchedule::TaskSchedule(const ZeAddCommand& command, const ZeFileResult* results, Plan plan,
                           CompressionPool& pool)
    : m_command(command)
    , m_results(results)
    , m_plan(std::move(plan))
    , m_pool(pool) {}

TaskSchedule::~TaskSchedule() {
    for (const auto& [index, file] : m_largeFiles) {
        if (file.fd >= 0)
            ::close(file.fd);
    }
}

void TaskSchedule::fill() {
    while (m_nextFile < m_command.fileCount && m_plannedBytes < MaxPlannedBytes &&
           m_tasks.size() < MaxTasks) {
        const std::size_t i = m_nextFile;
        const std::uint64_t size = m_results[i].size;
        if (!m_plan.toRead(i) || (isLarge(size) && m_nextPieceOffset == 0 && !openLargeFile(i))) {
            ++m_nextFile;
            continue;
        }
        auto task = std::make_unique<CompressTask>();
        task->fileIndex = i;
        task->deflate = m_plan.deflate(i);
        if (!isLarge(size)) {
            task->path = m_command.files[i];
            task->length = 2 * PieceSize; // room for a file that grew since it was looked at
            task->plannedBytes = size;
            ++m_nextFile;
        } else {
            task->wholeFile = false;
            task->fd = m_largeFiles[i].fd;
            task->offset = m_nextPieceOffset;
            task->length = std::min(PieceSize, size - m_nextPieceOffset);
            task->plannedBytes = task->length;
            task->lastPiece = m_nextPieceOffset + task->length >= size;
            m_nextPieceOffset = task->lastPiece ? 0 : m_nextPieceOffset + task->length;
            if (task->lastPiece)
                ++m_nextFile;
        }
        m_plannedBytes += task->plannedBytes;
        m_pool.submit(task.get());
        m_tasks.push_back(std::move(task));
    }
}

bool TaskSchedule::openLargeFile(std::size_t index) {
    LargeFile& file = m_largeFiles[index];
    file.readNs = CompressTask::wallClockNs();
    file.fd = engineplatform::openForReading(m_command.files[index]);
    engineplatform::FileStatus st;
    if (file.fd < 0 || engineplatform::openFileStatus(file.fd, st) != 0 || !st.isFile()) {
        file.error = file.fd < 0 ? errno : EINVAL;
        if (file.fd >= 0)
            ::close(file.fd);
        file.fd = -1;
        return false;
    }
    file.mtime = st.mtime;
    file.mtimeNs = zipformat::nanosecondsOf(st.mtime);
    file.mode = st.mode;
    return true;
}

std::unique_ptr<CompressTask> TaskSchedule::next() {
    fill();
    if (m_tasks.empty())
        return nullptr;
    std::unique_ptr<CompressTask> task = std::move(m_tasks.front());
    m_tasks.pop_front();
    m_plannedBytes -= task->plannedBytes;
    return task;
}

void TaskSchedule::keep(std::unique_ptr<CompressTask> task) {
    m_tasks.push_front(std::move(task));
}

TaskSchedule::LargeFile TaskSchedule::largeFile(std::size_t index) const {
    const auto it = m_largeFiles.find(index);
    return it != m_largeFiles.end() ? it->second : LargeFile{};
}

void TaskSchedule::closeLargeFile(std::size_t index) {
    if (const auto it = m_largeFiles.find(index); it != m_largeFiles.end()) {
        if (it->second.fd >= 0)
            ::close(it->second.fd);
        m_largeFiles.erase(it);
    }
}
