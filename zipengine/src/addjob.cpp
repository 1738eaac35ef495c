#include "addjob.h"

#include "crc32combine.h"
#include "entryname.h"
#include "zipformat.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>

using namespace zipformat;

namespace {

constexpr std::size_t MaxCommentSize = 0xffff;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::int64_t nanoseconds(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

} // namespace

AddJob::AddJob(const ZeAddCommand& command, const ZeCallbacks& callbacks, const MessageTable& messages)
    : m_command(command)
    , m_report(callbacks, messages) {
    for (std::size_t i = 0; i < command.storeSuffixCount; ++i) {
        if (command.storeSuffixes[i] != nullptr)
            m_storeSuffixes.emplace_back(command.storeSuffixes[i]);
    }
    m_comment = command.comment != nullptr ? command.comment : "";
    if (m_comment.size() > MaxCommentSize) {
        std::size_t cut = MaxCommentSize;
        while (cut > 0 && (static_cast<unsigned char>(m_comment[cut]) & 0xc0) == 0x80)
            --cut; // never split a UTF-8 sequence
        m_comment.resize(cut);
    }
    if (command.results != nullptr) {
        m_results = command.results;
    } else {
        m_ownResults.resize(command.fileCount);
        m_results = m_ownResults.data();
    }
}

AddJob::~AddJob() {
    m_pool.reset(); // joins the workers before the tasks and files they use go
    m_schedule.reset();
}

int AddJob::run() {
    if (m_command.archivePath == nullptr || *m_command.archivePath == '\0' ||
        (m_command.fileCount > 0 && m_command.files == nullptr)) {
        message(ZE_ERR_BAD_COMMAND, std::string());
        return ZE_ERR_BAD_COMMAND;
    }
    resolveTarget();
    if (const int rc = openPrevious(); rc != ZE_OK)
        return rc;
    surveyFiles();
    m_report.progress(ZE_PROGRESS_TOTAL_FILES, nullptr, m_command.fileCount);
    m_report.progress(ZE_PROGRESS_TOTAL_SIZE, nullptr, m_totalBytes);
    int rc = ZE_OK;
    if (nothingToWrite()) {
        for (const auto& [index, error] : m_surveyErrors)
            skipFile(index, error);
        if (!m_previous) {
            message(ZE_ERR_NOTHING_TO_DO, std::string());
            return ZE_ERR_NOTHING_TO_DO;
        }
    } else {
        rc = writeArchive();
        m_pool.reset();
        m_schedule.reset();
        if (rc != ZE_OK) {
            m_out.reset(); // the previous archive stays as it was
            return rc;
        }
    }
    m_report.progress(ZE_PROGRESS_END_OF_BATCH, nullptr, 0);
    m_report.total(m_totalBytes, m_totalBytes);
    // Each skipped file was reported as it was met; the result says that the archive misses files.
    return m_skipped > 0 ? ZE_WARN_SKIPPED : ZE_OK;
}

void AddJob::resolveTarget() {
    // The archive path may be a symbolic link: the link stays and its target is replaced.
    m_target = ArchiveOutput::linkTarget(m_command.archivePath);
    struct stat st {};
    m_targetExists = ::stat(m_target.c_str(), &st) == 0;
    if (m_targetExists) {
        m_targetDevice = st.st_dev;
        m_targetInode = st.st_ino;
        m_targetSize = st.st_size;
        m_targetMtimeNs = nanoseconds(st);
    }
}

bool AddJob::targetChangedMeanwhile() const {
    // Another run (a second copy of the program, say) wrote the archive while this one worked:
    // replacing it now would throw that run's archive away.
    struct stat st {};
    const bool exists = ::stat(m_target.c_str(), &st) == 0;
    if (exists != m_targetExists)
        return true;
    return exists && (st.st_dev != m_targetDevice || st.st_ino != m_targetInode ||
                      st.st_size != m_targetSize || nanoseconds(st) != m_targetMtimeNs);
}

int AddJob::openPrevious() {
    // An empty file holds nothing to keep (a name reserved with touch, say): it is simply replaced.
    struct stat st {};
    if (!m_targetExists || (::stat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0))
        return ZE_OK;
    m_previous = std::make_unique<ArchiveReader>();
    if (!m_previous->open(m_target)) {
        const int code = m_previous->damaged() ? ZE_ERR_BAD_ARCHIVE : ZE_ERR_OPEN_ARCHIVE;
        message(code, m_target + ": " + m_previous->errorText());
        return code;
    }
    m_previousUsed.assign(m_previous->count(), false);
    m_previousIndex.assign(m_command.fileCount, -1);
    return ZE_OK;
}

std::vector<bool> AddJob::listedBefore() const {
    // Folders of a list can overlap (a folder and one of its subfolders): a file listed twice
    // gets one entry. Sorting indices keeps this to four bytes a file.
    const std::size_t count = m_command.fileCount;
    std::vector<bool> repeated(count, false);
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = static_cast<std::uint32_t>(i);
    const auto path = [this](std::uint32_t i) {
        return m_command.files[i] != nullptr ? m_command.files[i] : "";
    };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = std::strcmp(path(a), path(b));
        return c != 0 ? c < 0 : a < b;
    });
    for (std::size_t k = 1; k < count; ++k)
        if (std::strcmp(path(order[k - 1]), path(order[k])) == 0)
            repeated[order[k]] = true;
    return repeated;
}

void AddJob::surveyFiles() {
    const bool keepFolders = (m_command.options & ZE_ADD_DIR_NAMES) != 0;
    const bool update = (m_command.options & ZE_ADD_UPDATE) != 0;
    const bool hidden = (m_command.options & ZE_ADD_HIDDEN_FILES) != 0;
    const std::vector<bool> repeated = listedBefore();
    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        ZeFileResult& result = m_results[i];
        result = ZeFileResult{};
        const char* path = m_command.files[i];
        if (path == nullptr || *path == '\0' || repeated[i] || (!hidden && entryname::isHidden(path))) {
            result.status = ZE_FILE_EXCLUDED;
            continue;
        }
        struct stat st {};
        if (::stat(path, &st) != 0) {
            m_surveyErrors[i] = errno;
            continue;
        }
        if (!S_ISREG(st.st_mode) ||
            (m_targetExists && st.st_dev == m_targetDevice && st.st_ino == m_targetInode)) {
            result.status = ZE_FILE_EXCLUDED; // folders, devices, and the archive itself
            continue;
        }
        result.size = static_cast<std::uint64_t>(st.st_size);
        result.mtimeNs = nanoseconds(st);
        if (m_previous) {
            const std::int64_t found = m_previous->find(entryname::forPath(path, keepFolders));
            if (found >= 0 && !m_previousUsed[static_cast<std::size_t>(found)]) {
                m_previousIndex[i] = static_cast<std::int32_t>(found);
                m_previousUsed[static_cast<std::size_t>(found)] = true;
                const ArchiveReader::Entry entry = m_previous->entry(static_cast<std::size_t>(found));
                // An update keeps an entry whose size and time match the file; any other difference
                // (newer, or an older copy put back) replaces it.
                const bool sameTime =
                    entry.exactTime ? entry.mtime == static_cast<std::int64_t>(st.st_mtim.tv_sec) : [&] {
                        const DosDateTime dos = toDosDateTime(st.st_mtim.tv_sec);
                        return dos.date == entry.dosDate && dos.time == entry.dosTime;
                    }();
                if (update && sameTime && entry.uncompressedSize == result.size) {
                    result.status = ZE_FILE_UP_TO_DATE;
                    continue;
                }
            }
        }
        m_totalBytes += result.size;
        ++m_toWrite;
    }
}

bool AddJob::nothingToWrite() const {
    return m_toWrite == 0 && (!m_previous || m_previous->comment() == m_comment);
}

int AddJob::writeArchive() {
    m_out = std::make_unique<ArchiveOutput>();
    if (!m_out->create(m_target)) {
        message(ZE_ERR_CREATE_TEMP, folderOf(m_target) + ": " + std::strerror(m_out->errorNumber()));
        return ZE_ERR_CREATE_TEMP;
    }
    m_directory = std::make_unique<CentralDirectory>(folderOf(m_target));
    int threads = m_command.threads;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    m_pool = std::make_unique<CompressionPool>(threads, m_command.level > 0 ? m_command.level : 1);
    TaskSchedule::Plan plan;
    plan.toRead = [this](std::size_t i) {
        return m_results[i].status == ZE_FILE_PENDING && m_surveyErrors.count(i) == 0;
    };
    plan.deflate = [this](std::size_t i) {
        return shouldDeflate(i);
    };
    m_schedule = std::make_unique<TaskSchedule>(m_command, m_results, std::move(plan), *m_pool);

    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        if (const int rc = writeFile(i); rc != ZE_OK)
            return rc;
    }
    for (std::size_t k = 0; m_previous && k < m_previous->count(); ++k) {
        if (m_previousUsed[k])
            continue;
        if (cancelled())
            return ZE_ERR_CANCELLED;
        if (const int rc = copyPreviousEntry(k); rc != ZE_OK)
            return rc;
    }
    if (m_directory->count() == 0 && !m_previous) {
        message(ZE_ERR_NOTHING_TO_DO, std::string());
        return ZE_ERR_NOTHING_TO_DO;
    }
    if (const int rc = writeDirectoryAndEnd(); rc != ZE_OK)
        return rc;
    if (cancelled())
        return ZE_ERR_CANCELLED;
    if (targetChangedMeanwhile()) {
        message(ZE_ERR_REPLACE, m_target + ": the archive was changed by another program meanwhile");
        return ZE_ERR_REPLACE;
    }
    if (!m_out->commit()) {
        const int code = m_out->errorContext() == "writing to disk" ? ZE_ERR_WRITE : ZE_ERR_REPLACE;
        message(code, m_target + ": " + std::strerror(m_out->errorNumber()));
        return code;
    }
    return ZE_OK;
}

bool AddJob::isLarge(std::size_t index) const {
    return TaskSchedule::isLarge(m_results[index].size);
}

bool AddJob::shouldDeflate(std::size_t index) const {
    return m_command.level > 0 && !entryname::hasSuffix(m_command.files[index], m_storeSuffixes);
}

int AddJob::writeFile(std::size_t index) {
    if (cancelled())
        return ZE_ERR_CANCELLED;
    const ZeFileResult& result = m_results[index];
    if (result.status == ZE_FILE_EXCLUDED)
        return ZE_OK;
    if (result.status == ZE_FILE_UP_TO_DATE)
        return copyPreviousEntry(static_cast<std::size_t>(m_previousIndex[index]));
    if (const auto failed = m_surveyErrors.find(index); failed != m_surveyErrors.end()) {
        skipFile(index, failed->second);
        return ZE_OK;
    }
    const char* path = m_command.files[index];
    m_report.progress(ZE_PROGRESS_NEW_FILE, path, result.size);
    m_report.item(path, result.size, 0);
    if (isLarge(index))
        return writeLargeFile(index);
    std::unique_ptr<CompressTask> task = nextTask(index);
    if (!task)
        return ZE_ERR_INTERNAL;
    if (!waitFor(*task))
        return abandon(std::move(task));
    return writeSmallFile(index, *task);
}

int AddJob::writeSmallFile(std::size_t index, CompressTask& task) {
    if (task.error != 0) {
        if (task.error == ECANCELED && cancelled())
            return ZE_ERR_CANCELLED;
        skipFile(index, task.error > 0 || task.error == CompressTask::ChangedWhileRead ? task.error : EIO);
        return ZE_OK;
    }
    EntryRecord record = newRecord(index, task.mtimeNs, task.mode);
    record.method = task.deflated ? MethodDeflate : MethodStore;
    record.crc = task.crc;
    record.compressedSize = task.dataSize;
    record.uncompressedSize = task.rawSize;
    record.localOffset = m_out->position();
    if (!m_out->write(record.localHeader()) || !m_out->write(task.data.data(), task.dataSize))
        return writeFailed();
    ZeFileResult& result = m_results[index];
    result.size = task.rawSize;
    result.mtimeNs = task.mtimeNs;
    result.status = m_previous && m_previousIndex[index] >= 0 ? ZE_FILE_REPLACED : ZE_FILE_ADDED;
    m_doneBytes += task.plannedBytes;
    reportProgress(index, task.rawSize);
    return finishEntry(record);
}

int AddJob::writeLargeFile(std::size_t index) {
    // The file is opened when its first piece is scheduled; its entry is written as the pieces
    // arrive, and the local header is completed afterwards.
    m_schedule->fill();
    const TaskSchedule::LargeFile file = m_schedule->largeFile(index);
    if (file.fd < 0) {
        m_schedule->closeLargeFile(index);
        skipFile(index, file.error != 0 ? file.error : EIO);
        return ZE_OK;
    }
    const std::uint64_t plannedSize = m_results[index].size;
    const std::int64_t mtimeNs = file.mtimeNs;
    EntryRecord record = newRecord(index, mtimeNs, file.mode);
    const bool deflate = shouldDeflate(index);
    record.method = deflate ? MethodDeflate : MethodStore;
    record.zip64Local = plannedSize >= Max32;
    const std::uint64_t entryStart = m_out->position();
    record.localOffset = entryStart;
    if (!m_out->write(record.localHeader()))
        return writeFailed();
    const std::uint64_t dataStart = m_out->position();

    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    std::uint64_t dataSize = 0;
    bool streamClosed = false;
    int error = 0;
    for (bool last = false; !last;) {
        if (cancelled())
            return ZE_ERR_CANCELLED;
        std::unique_ptr<CompressTask> task = nextTask(index);
        if (!task)
            return ZE_ERR_INTERNAL;
        if (!waitFor(*task))
            return abandon(std::move(task));
        last = task->lastPiece;
        if (task->error == ECANCELED && cancelled())
            return ZE_ERR_CANCELLED;
        if (error != 0 || task->error != 0) {
            error = error != 0 ? error : (task->error > 0 ? task->error : EIO);
            continue;
        }
        if (!m_out->write(task->data.data(), task->dataSize))
            return writeFailed();
        crc = crc32Combine(crc, task->crc, task->rawSize);
        rawSize += task->rawSize;
        dataSize += task->dataSize;
        if (task->deflated)
            streamClosed = task->lastPiece;
        m_doneBytes += task->plannedBytes;
        reportProgress(index, rawSize);
    }
    if (error == 0 && changedSinceOpened(file.fd, plannedSize, mtimeNs, rawSize))
        error = CompressTask::ChangedWhileRead;
    if (error != 0) {
        m_schedule->closeLargeFile(index);
        if (!m_out->truncate(entryStart))
            return writeFailed();
        skipFile(index, error);
        return ZE_OK;
    }
    if (deflate && !streamClosed) {
        static const unsigned char emptyFinalBlock[] = {0x03, 0x00};
        if (!m_out->write(emptyFinalBlock, sizeof emptyFinalBlock))
            return writeFailed();
        dataSize += sizeof emptyFinalBlock;
    }
    record.crc = crc;
    record.compressedSize = dataSize;
    record.uncompressedSize = rawSize;
    if (deflate && dataSize >= rawSize) {
        const int rc = storeLargeFileAgain(index, record, dataStart, file.fd);
        if (rc != ZE_OK || m_results[index].status == ZE_FILE_SKIPPED) {
            m_schedule->closeLargeFile(index);
            return rc;
        }
    }
    m_schedule->closeLargeFile(index);

    // Complete the local header now that the sizes and the CRC are known.
    std::string header = record.localHeader();
    if (record.zip64Local) {
        std::string sizes;
        put64(sizes, record.uncompressedSize);
        put64(sizes, record.compressedSize);
        if (!m_out->writeAt(entryStart + record.localZip64Offset(), sizes.data(), sizes.size()))
            return writeFailed();
    }
    if (!m_out->writeAt(entryStart, header.data(), LocalHeaderSize))
        return writeFailed();
    ZeFileResult& result = m_results[index];
    result.size = record.uncompressedSize;
    result.mtimeNs = mtimeNs;
    result.status = m_previous && m_previousIndex[index] >= 0 ? ZE_FILE_REPLACED : ZE_FILE_ADDED;
    return finishEntry(record);
}

int AddJob::storeLargeFileAgain(std::size_t index, EntryRecord& record, std::uint64_t dataStart, int fd) {
    // Deflate did not make it smaller: store the file instead, read again from the start.
    if (!m_out->truncate(dataStart))
        return writeFailed();
    std::vector<unsigned char> buffer(TaskSchedule::PieceSize);
    std::uint32_t crc = 0;
    std::uint64_t done = 0;
    while (done < record.uncompressedSize) {
        if (cancelled())
            return ZE_ERR_CANCELLED;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(TaskSchedule::PieceSize, record.uncompressedSize - done));
        const ssize_t n = ::pread(fd, buffer.data(), want, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            if (!m_out->truncate(record.localOffset))
                return writeFailed();
            skipFile(index, error);
            return ZE_OK;
        }
        if (n == 0)
            break;
        crc = libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n));
        if (!m_out->write(buffer.data(), static_cast<std::size_t>(n)))
            return writeFailed();
        done += static_cast<std::uint64_t>(n);
    }
    record.method = MethodStore;
    record.crc = crc;
    record.compressedSize = done;
    record.uncompressedSize = done;
    return ZE_OK;
}

int AddJob::copyPreviousEntry(std::size_t previousIndex) {
    const ArchiveReader::Entry entry = m_previous->entry(previousIndex);
    std::uint64_t dataOffset = 0;
    std::string localExtra;
    if (!m_previous->locateData(entry, dataOffset, localExtra)) {
        message(ZE_ERR_BAD_ARCHIVE, m_target + ": " + std::string(entry.name));
        return ZE_ERR_BAD_ARCHIVE;
    }
    EntryRecord record = EntryRecord::copyOf(entry, localExtra);
    record.localOffset = m_out->position();
    if (!m_out->write(record.localHeader()) ||
        !m_out->copyFrom(m_previous->fd(), dataOffset, entry.compressedSize))
        return writeFailed();
    if ((record.flags & FlagDataDescriptor) && !m_out->write(record.dataDescriptor()))
        return writeFailed();
    return finishEntry(record);
}

int AddJob::finishEntry(EntryRecord& record) {
    if (!m_directory->add(record.centralHeader())) {
        message(ZE_ERR_WRITE, std::string("central directory: ") + std::strerror(errno));
        return ZE_ERR_WRITE;
    }
    return ZE_OK;
}

int AddJob::writeDirectoryAndEnd() {
    m_report.progress(ZE_PROGRESS_NEW_EXTRA, m_command.archivePath, 0);
    return m_directory->writeTo(*m_out, m_comment) ? ZE_OK : writeFailed();
}

std::unique_ptr<CompressTask> AddJob::nextTask(std::size_t index) {
    std::unique_ptr<CompressTask> task = m_schedule->next();
    if (!task || task->fileIndex != index) {
        message(ZE_ERR_INTERNAL, "tasks out of order");
        if (task)
            m_schedule->keep(std::move(task));
        return nullptr;
    }
    return task;
}

bool AddJob::waitFor(CompressTask& task) {
    return m_pool->wait(&task, [this] { return cancelled(); });
}

int AddJob::abandon(std::unique_ptr<CompressTask> task) {
    // A worker may still be reading into it: it lives until the pool has stopped.
    m_schedule->keep(std::move(task));
    return ZE_ERR_CANCELLED;
}

EntryRecord AddJob::newRecord(std::size_t index, std::int64_t mtimeNs, std::uint32_t mode) const {
    return EntryRecord::forFile(
        entryname::forPath(m_command.files[index], (m_command.options & ZE_ADD_DIR_NAMES) != 0), mtimeNs,
        mode);
}

bool AddJob::changedSinceOpened(int fd, std::uint64_t plannedSize, std::int64_t openedMtimeNs,
                                std::uint64_t bytesRead) {
    struct stat st {};
    return bytesRead != plannedSize || ::fstat(fd, &st) != 0 ||
           static_cast<std::uint64_t>(st.st_size) != plannedSize || nanoseconds(st) != openedMtimeNs;
}

void AddJob::skipFile(std::size_t index, int error) {
    m_results[index].status = ZE_FILE_SKIPPED;
    ++m_skipped;
    // A file that was to replace an entry and cannot be read leaves the old entry in the archive.
    if (!m_previousIndex.empty() && m_previousIndex[index] >= 0)
        m_previousUsed[static_cast<std::size_t>(m_previousIndex[index])] = false;
    const std::string reason = error == CompressTask::ChangedWhileRead
                                   ? std::string("it changed while it was read")
                                   : std::strerror(error);
    message(ZE_ERR_SKIPPED_FILE, std::string(m_command.files[index]) + ": " + reason);
}

int AddJob::writeFailed() {
    message(ZE_ERR_WRITE,
            m_target + ": " + m_out->errorContext() + ": " + std::strerror(m_out->errorNumber()));
    if (m_pool)
        m_pool->cancel();
    return ZE_ERR_WRITE;
}

bool AddJob::cancelled() {
    if (!m_cancelled && m_report.terminateRequested()) {
        m_cancelled = true;
        if (m_pool)
            m_pool->cancel();
        message(ZE_ERR_CANCELLED, std::string());
    }
    return m_cancelled;
}

void AddJob::reportProgress(std::size_t index, std::uint64_t fileDone) {
    const char* path = m_command.files[index];
    m_report.progress(ZE_PROGRESS_UPDATE, path, fileDone);
    m_report.item(path, m_results[index].size, fileDone);
    m_report.total(m_totalBytes, m_doneBytes);
}

void AddJob::message(int code, const std::string& detail) {
    m_report.message(code, detail);
}
