#include "addjob.h"

#include "engineplatform.h"

#include "archiveaside.h"
#include "archiveverifier.h"
#include "crc32combine.h"
#include "entrydatacheck.h"
#include "entryname.h"
#include "keptentriescheck.h"
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
// How often a file that changes while it is read is read in all before one read is kept anyway.
constexpr int MaxReads = 4;
// A file whose time is not this much older than the moment it was read may have changed within
// the same tick of the file system's clock (two seconds on FAT): its content decides.
constexpr std::int64_t RacyWindowNs = 2000000000;

std::uint64_t hashName(const std::string& name) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::int64_t floorDiv(std::int64_t value, std::int64_t step) {
    std::int64_t q = value / step;
    if (value % step < 0)
        --q;
    return q;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::int64_t nanoseconds(const struct stat& st) {
    return zipformat::nanosecondsOf(engineplatform::modificationTime(st));
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
    endKeptCheck();
    m_pool.reset(); // joins the workers before the tasks and files they use go
    m_schedule.reset();
    if (m_inlineCompressor != nullptr)
        libdeflate_free_compressor(m_inlineCompressor);
    if (m_decompressor != nullptr)
        libdeflate_free_decompressor(m_decompressor);
}

int AddJob::run() {
    if (m_command.archivePath == nullptr || *m_command.archivePath == '\0' ||
        (m_command.fileCount > 0 && m_command.files == nullptr)) {
        message(ZE_ERR_BAD_COMMAND, std::string());
        return ZE_ERR_BAD_COMMAND;
    }
    resolveTarget();
    if (const int rc = checkTargetKind(); rc != ZE_OK)
        return rc;
    if (m_lock.acquire(m_target) == ArchiveLock::Result::InUse) {
        message(ZE_ERR_IN_USE, m_target);
        return ZE_ERR_IN_USE;
    }
    // Only one job at a time gets here: a named temporary left now is a killed job's.
    ArchiveOutput::removeStaleTemporaries(m_target);
    lookAtTarget();
    if (const int rc = openPrevious(); rc != ZE_OK)
        return rc;
    surveyFiles();
    m_report.progress(ZE_PROGRESS_TOTAL_FILES, nullptr, m_command.fileCount);
    m_report.progress(ZE_PROGRESS_TOTAL_SIZE, nullptr, m_totalBytes);
    bool write = !nothingToWrite();
    if (!write && m_previous && (m_command.options & ZE_ADD_CHECK_KEPT) != 0) {
        // Nothing changed, but the kept entries are due for a check: a damaged one is replaced
        // as on any run that writes the archive, and a sound archive stays exactly as it is.
        const KeptEntriesCheck::Result check = checkKeptEntries();
        if (check == KeptEntriesCheck::Result::Stopped)
            return ZE_ERR_CANCELLED;
        write = check == KeptEntriesCheck::Result::Damaged;
    }
    int rc = ZE_OK;
    if (!write) {
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
    // Each skipped or changing file was reported as it was met; the result says that the archive
    // is incomplete.
    return m_skipped > 0 || m_changing > 0 || !m_leftOut.empty() ? ZE_WARN_SKIPPED : ZE_OK;
}

void AddJob::resolveTarget() {
    // The archive path may be a symbolic link: the link stays and its target is replaced.
    m_target = ArchiveOutput::linkTarget(m_command.archivePath);
    m_viaLink = m_target != m_command.archivePath;
}

int AddJob::checkTargetKind() {
    // Only a regular file is ever read or replaced: a pipe would never end a read, a folder or a
    // device is nothing to replace. A link is followed only to a ZIP archive, so a link that
    // leads to some other file of the user's is never renamed or overwritten.
    struct stat st {};
    if (engineplatform::linkStatus(m_target.c_str(), st) != 0)
        return ZE_OK;
    std::string problem;
    if (S_ISDIR(st.st_mode))
        problem = "a folder has the archive's name";
    else if (!S_ISREG(st.st_mode))
        problem = "it is not a regular file";
    else if (m_viaLink && st.st_size > 0 && !ArchiveReader().open(m_target))
        problem = std::string("the archive's name is a link to a file that is no ZIP archive: ") +
                  m_command.archivePath;
    if (problem.empty())
        return ZE_OK;
    message(ZE_ERR_NOT_ARCHIVE_FILE, m_target + ": " + problem);
    return ZE_ERR_NOT_ARCHIVE_FILE;
}

void AddJob::lookAtTarget() {
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
    // A fresh archive keeps nothing: the previous one is only replaced, once this one is complete.
    struct stat st {};
    if (!m_targetExists || (m_command.options & ZE_ADD_FRESH) != 0 ||
        (::stat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0))
        return ZE_OK;
    m_previous = std::make_unique<ArchiveReader>();
    if (!m_previous->open(m_target)) {
        // A damaged archive would block every later backup under its name: it is kept aside
        // for whatever can still be rescued from it, and a complete new archive is written.
        if (m_previous->damaged() && !m_viaLink && moveDamagedAside())
            return ZE_OK;
        const int code = m_previous->damaged() ? ZE_ERR_BAD_ARCHIVE : ZE_ERR_OPEN_ARCHIVE;
        message(code, m_target + ": " + m_previous->errorText());
        return code;
    }
    m_previousUsed.assign(m_previous->count(), false);
    for (std::size_t k = 0; k < m_previous->count(); ++k)
        m_previousUsed[k] = m_previous->superseded(k); // dropped: never copied
    m_previousBad.assign(m_previous->count(), false);
    m_previousIndex.assign(m_command.fileCount, -1);
    return ZE_OK;
}

bool AddJob::moveDamagedAside() {
    const std::string reason = m_previous->errorText();
    m_previous.reset();
    ArchiveAside aside(m_target);
    if (!aside.move())
        return false;
    message(ZE_WARN_ARCHIVE_MOVED, m_target + " (" + reason + ") is kept as " + aside.path());
    m_targetExists = false;
    return true;
}

KeptEntriesCheck::Result AddJob::checkKeptEntries() {
    KeptEntriesCheck check(*m_previous, threadCount());
    const KeptEntriesCheck::Result result = check.run([this] { return cancelled(); });
    if (result == KeptEntriesCheck::Result::Sound) {
        for (const std::size_t k : check.unreadable())
            reportKeptUnreadable(m_previous->entry(k));
    }
    return result;
}

void AddJob::reportKeptUnreadable(const ArchiveReader::Entry& entry) {
    message(ZE_WARN_KEPT_UNREADABLE,
            std::string(entry.name) + " (" + KeptEntriesCheck::unreadableReason(entry) + ")");
}

int AddJob::threadCount() const {
    return m_command.threads > 0 ? m_command.threads
                                 : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::vector<bool> AddJob::listedBefore() {
    // A file listed twice gets one entry: folders of a list can overlap (a folder and one of its
    // subfolders), and two spellings of a path ("/a/./b", "//a/b") name one entry. Decided on the
    // entry name; a hash and an index a file keep this small for long lists.
    const std::size_t count = m_command.fileCount;
    const bool keepFolders = (m_command.options & ZE_ADD_DIR_NAMES) != 0;
    std::vector<bool> repeated(count, false);
    m_nameHashes.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (m_command.files[i] != nullptr)
            m_nameHashes[i] = hashName(entryname::forPath(m_command.files[i], keepFolders));
    }
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return m_nameHashes[a] != m_nameHashes[b] ? m_nameHashes[a] < m_nameHashes[b] : a < b;
    });
    for (std::size_t k = 1; k < count; ++k) {
        if (m_nameHashes[order[k - 1]] != m_nameHashes[order[k]] || m_command.files[order[k]] == nullptr)
            continue;
        const std::string name = entryname::forPath(m_command.files[order[k]], keepFolders);
        // Compare with every earlier file of the same hash (almost always exactly one).
        for (std::size_t j = k; j-- > 0 && m_nameHashes[order[j]] == m_nameHashes[order[k]];) {
            if (m_command.files[order[j]] != nullptr && !repeated[order[j]] &&
                entryname::forPath(m_command.files[order[j]], keepFolders) == name) {
                repeated[order[k]] = true;
                break;
            }
        }
    }
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
                const unsigned char known = m_command.unchanged != nullptr ? m_command.unchanged[i] : 0;
                // An entry this engine cannot read is no backup it can vouch for: the file is
                // taken again.
                const bool readable = EntryDataCheck::readable(entry.method, entry.flags);
                if (readable && (known == ZE_ENTRY_CURRENT ||
                                 (update && known != ZE_ENTRY_OUTDATED && upToDate(path, st, entry)))) {
                    result.status = ZE_FILE_UP_TO_DATE;
                    continue;
                }
            }
        }
        m_totalBytes += result.size;
        ++m_toWrite;
    }
    if (m_previous)
        dropConflictingEntries();
    m_nameHashes = std::vector<std::uint64_t>();
}

bool AddJob::upToDate(const char* path, const struct stat& st, const ArchiveReader::Entry& entry) const {
    // An update keeps an entry whose size and time match the file; any other difference (newer,
    // or an older copy put back) replaces it. Times compare in the step the entry holds them.
    if (entry.uncompressedSize != static_cast<std::uint64_t>(st.st_size))
        return false;
    const std::int64_t mtimeNs = nanoseconds(st);
    bool sameTime = false;
    if (entry.timeStepNs == 2000000000) {
        const DosDateTime dos = toDosDateTime(engineplatform::modificationTime(st).tv_sec);
        sameTime = dos.date == entry.dosDate && dos.time == entry.dosTime;
    } else {
        sameTime = floorDiv(mtimeNs, entry.timeStepNs) == floorDiv(entry.mtimeNs, entry.timeStepNs);
    }
    if (!sameTime)
        return false;
    return !racy(mtimeNs, entry) || sameContent(path, st, entry);
}

bool AddJob::racy(std::int64_t mtimeNs, const ArchiveReader::Entry& entry) const {
    // A change made within the same tick as the read that made the entry leaves the time as it
    // was. When the entry does not say when it was read, the previous archive's time stands in.
    // Steps coarser than a tick (whole or two seconds) hide changes for that much longer.
    const std::int64_t readNs = entry.readNs != 0 ? entry.readNs : m_targetMtimeNs;
    return mtimeNs > readNs - std::max(RacyWindowNs, entry.timeStepNs);
}

bool AddJob::sameContent(const char* path, const struct stat& st, const ArchiveReader::Entry& entry) {
    const int fd = engineplatform::openForReading(path);
    if (fd < 0)
        return false;
    std::vector<unsigned char> buffer(1 << 20);
    std::uint32_t crc = 0;
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            total = ~std::uint64_t{0};
            break;
        }
        if (n == 0)
            break;
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n)));
        total += static_cast<std::uint64_t>(n);
    }
    struct stat after {};
    const bool steady =
        ::fstat(fd, &after) == 0 && after.st_size == st.st_size && nanoseconds(after) == nanoseconds(st);
    ::close(fd);
    return steady && total == entry.uncompressedSize && crc == entry.crc;
}

void AddJob::dropConflictingEntries() {
    // A file replaced by a folder of the same name, or the reverse: the archive may not hold both
    // "report" and "report/q1.txt", so the kept entry gives way to the file listed now.
    const bool keepFolders = (m_command.options & ZE_ADD_DIR_NAMES) != 0;
    std::vector<std::uint64_t> files;   // entry names of the listed files
    std::vector<std::uint64_t> folders; // every folder above them
    std::string lastFolder;
    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        if (m_results[i].status == ZE_FILE_EXCLUDED || m_surveyErrors.count(i) != 0)
            continue;
        files.push_back(m_nameHashes[i]);
        const std::string name = entryname::forPath(m_command.files[i], keepFolders);
        const std::size_t slash = name.rfind('/');
        if (slash == std::string::npos || name.compare(0, slash, lastFolder) == 0)
            continue;
        lastFolder = name.substr(0, slash);
        for (std::size_t end = slash; end != std::string::npos && end > 0; end = name.rfind('/', end - 1))
            folders.push_back(hashName(name.substr(0, end)));
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    const auto holds = [](const std::vector<std::uint64_t>& set, const std::string& name) {
        return std::binary_search(set.begin(), set.end(), hashName(name));
    };
    for (std::size_t k = 0; k < m_previous->count(); ++k) {
        if (m_previousUsed[k])
            continue;
        std::string name(m_previous->entry(k).name);
        const bool folderEntry = !name.empty() && name.back() == '/';
        while (!name.empty() && name.back() == '/')
            name.pop_back();
        bool conflict = !folderEntry && holds(folders, name);
        for (std::size_t end = name.rfind('/'); !conflict && end != std::string::npos && end > 0;
             end = name.rfind('/', end - 1))
            conflict = holds(files, name.substr(0, end));
        if (!conflict && folderEntry)
            conflict = holds(files, name);
        if (conflict)
            m_previousUsed[k] = true; // dropped: never copied
    }
}

bool AddJob::nothingToWrite() const {
    // A run told which files did not change finds nothing new when none is to be written: the
    // comment's date alone does not rewrite the archive.
    if (m_toWrite != 0)
        return false;
    if (!m_previous)
        return true;
    const bool sameComment = m_command.unchanged != nullptr || m_previous->comment() == m_comment;
    return sameComment && !m_previous->anySuperseded();
}

int AddJob::writeArchive() {
    m_out = std::make_unique<ArchiveOutput>();
    if (!m_out->create(m_target)) {
        message(ZE_ERR_CREATE_TEMP, folderOf(m_target) + ": " + std::strerror(m_out->errorNumber()));
        return ZE_ERR_CREATE_TEMP;
    }
    m_directory = std::make_unique<CentralDirectory>(folderOf(m_target));
    m_pool = std::make_unique<CompressionPool>(threadCount(), m_command.level > 0 ? m_command.level : 1);
    TaskSchedule::Plan plan;
    plan.toRead = [this](std::size_t i) {
        return m_results[i].status == ZE_FILE_PENDING && m_surveyErrors.count(i) == 0;
    };
    plan.deflate = [this](std::size_t i) {
        return shouldDeflate(i);
    };
    m_schedule = std::make_unique<TaskSchedule>(m_command, m_results, std::move(plan), *m_pool);
    // The workers deflate the first files while the kept entries are checked.
    m_schedule->fill();
    startKeptCheck();

    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        if (const int rc = writeFile(i); rc != ZE_OK)
            return rc;
    }
    for (std::size_t k = 0; m_previous && k < m_previous->count(); ++k) {
        if (m_previousUsed[k] || m_previousBad[k])
            continue;
        if (cancelled())
            return ZE_ERR_CANCELLED;
        const ArchiveReader::Entry entry = m_previous->entry(k);
        if (!EntryDataCheck::readable(entry.method, entry.flags))
            reportKeptUnreadable(entry);
        Copy outcome = Copy::Done;
        if (const int rc = copyPreviousEntry(k, outcome); rc != ZE_OK)
            return rc;
        // Its only copy is in the previous archive: that is kept aside before it is replaced.
        if (outcome == Copy::Damaged)
            m_leftOut.emplace_back(entry.name);
    }
    endKeptCheck();
    if (m_directory->count() == 0 && !m_previous) {
        message(ZE_ERR_NOTHING_TO_DO, std::string());
        return ZE_ERR_NOTHING_TO_DO;
    }
    if (const int rc = writeDirectoryAndEnd(); rc != ZE_OK)
        return rc;
    if (const int rc = verifyWritten(); rc != ZE_OK)
        return rc;
    if (cancelled())
        return ZE_ERR_CANCELLED;
    if (targetChangedMeanwhile()) {
        message(ZE_ERR_REPLACE, m_target + ": the archive was changed by another program meanwhile");
        return ZE_ERR_REPLACE;
    }
    ArchiveAside aside(m_target);
    if (!m_leftOut.empty() && !aside.move()) {
        message(ZE_ERR_REPLACE, m_target +
                                    ": it holds the only copy of damaged entries and cannot be kept aside: " +
                                    std::strerror(errno));
        return ZE_ERR_REPLACE;
    }
    if (!m_out->commit()) {
        const int code = m_out->errorContext() == "writing to disk" ? ZE_ERR_WRITE : ZE_ERR_REPLACE;
        message(code, m_target + ": " + std::strerror(m_out->errorNumber()));
        aside.moveBack();
        return code;
    }
    for (const std::string& name : m_leftOut)
        message(ZE_WARN_KEPT_DAMAGED,
                name + ": left out, its file is not in the list; the previous archive is kept as " +
                    aside.path());
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
        return writeUpToDate(index);
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
        if (task.error == CompressTask::ChangedWhileRead) {
            m_doneBytes += task.plannedBytes;
            return writeAgain(index);
        }
        skipFile(index, task.error > 0 ? task.error : EIO);
        return ZE_OK;
    }
    EntryRecord record = newRecord(index, task.mtime, task.mode, task.readNs);
    record.method = task.deflated ? MethodDeflate : MethodStore;
    record.crc = task.crc;
    record.compressedSize = task.dataSize;
    record.uncompressedSize = task.rawSize;
    if (task.deflated)
        addStoredCrc(record, task.dataCrc);
    record.localOffset = m_out->position();
    if (!m_out->write(record.localHeader()) || !m_out->write(task.data.data(), task.dataSize))
        return writeFailed();
    m_results[index].size = task.rawSize;
    m_results[index].mtimeNs = task.mtimeNs;
    markWritten(index, false);
    m_doneBytes += task.plannedBytes;
    reportProgress(index, task.rawSize);
    return finishEntry(record, true);
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
    EntryRecord record = newRecord(index, file.mtime, file.mode, file.readNs);
    const bool deflate = shouldDeflate(index);
    record.method = deflate ? MethodDeflate : MethodStore;
    record.zip64Local = plannedSize > Max32;
    const std::uint64_t entryStart = m_out->position();
    record.localOffset = entryStart;
    if (!m_out->write(record.localHeader()))
        return writeFailed();
    const std::uint64_t dataStart = m_out->position();

    std::uint32_t crc = 0;
    std::uint32_t dataCrc = 0;
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
        dataCrc = crc32Combine(dataCrc, task->dataCrc, task->dataSize);
        rawSize += task->rawSize;
        dataSize += task->dataSize;
        if (task->deflated)
            streamClosed = task->lastPiece;
        m_doneBytes += task->plannedBytes;
        reportProgress(index, rawSize);
    }
    bool changed = error == 0 && changedSinceOpened(file.fd, plannedSize, mtimeNs, rawSize);
    if (error != 0) {
        m_schedule->closeLargeFile(index);
        if (!m_out->truncate(entryStart))
            return writeFailed();
        skipFile(index, error);
        return ZE_OK;
    }
    if (deflate && !streamClosed && !changed) {
        static const unsigned char emptyFinalBlock[] = {0x03, 0x00};
        if (!m_out->write(emptyFinalBlock, sizeof emptyFinalBlock))
            return writeFailed();
        dataSize += sizeof emptyFinalBlock;
        dataCrc =
            static_cast<std::uint32_t>(libdeflate_crc32(dataCrc, emptyFinalBlock, sizeof emptyFinalBlock));
    }
    record.crc = crc;
    record.compressedSize = dataSize;
    record.uncompressedSize = rawSize;
    if (!changed && deflate && dataSize >= rawSize) {
        const int rc = storeLargeFileAgain(index, record, dataStart, file.fd, changed);
        if (rc != ZE_OK || m_results[index].status == ZE_FILE_SKIPPED) {
            m_schedule->closeLargeFile(index);
            return rc;
        }
        changed = changed || changedSinceOpened(file.fd, plannedSize, mtimeNs, record.uncompressedSize);
    }
    m_schedule->closeLargeFile(index);
    if (changed) {
        // What was read is no state the file ever had: read it again from the start.
        if (!m_out->truncate(entryStart))
            return writeFailed();
        return writeAgain(index);
    }
    if (record.method == MethodDeflate)
        addStoredCrc(record, dataCrc);
    if (const int rc = completeLargeEntry(record, entryStart); rc != ZE_OK)
        return rc;
    m_results[index].size = record.uncompressedSize;
    m_results[index].mtimeNs = mtimeNs;
    markWritten(index, false);
    return finishEntry(record, true);
}

int AddJob::completeLargeEntry(EntryRecord& record, std::uint64_t entryStart) {
    // Complete the local header now that the sizes and the CRC are known.
    const std::string header = record.localHeader();
    if (record.zip64Local) {
        std::string sizes;
        put64(sizes, record.uncompressedSize);
        put64(sizes, record.compressedSize);
        if (!m_out->writeAt(entryStart + record.localZip64Offset(), sizes.data(), sizes.size()))
            return writeFailed();
    }
    if (!m_out->writeAt(entryStart, header.data(), LocalHeaderSize))
        return writeFailed();
    return ZE_OK;
}

void AddJob::markWritten(std::size_t index, bool changing) {
    ZeFileResult& result = m_results[index];
    if (changing) {
        result.status = ZE_FILE_CHANGING;
        ++m_changing;
        message(ZE_WARN_CHANGING, std::string(m_command.files[index]) +
                                      ": it kept changing while it was read; the archive holds one complete "
                                      "read of it, which may mix old and new parts");
        return;
    }
    result.status = m_previous && m_previousIndex[index] >= 0 ? ZE_FILE_REPLACED : ZE_FILE_ADDED;
}

int AddJob::writeAgain(std::size_t index) {
    // The first read (by a worker) found the file changing; this thread reads it again.
    for (int read = 2; read <= MaxReads; ++read) {
        if (cancelled())
            return ZE_ERR_CANCELLED;
        bool changed = false;
        if (const int rc = writeOnce(index, read == MaxReads, changed); rc != ZE_OK || !changed)
            return rc;
    }
    return ZE_OK;
}

int AddJob::writeOnce(std::size_t index, bool acceptChange, bool& changed) {
    changed = false;
    const char* path = m_command.files[index];
    const std::int64_t readNs = CompressTask::wallClockNs();
    const int fd = engineplatform::openForReading(path);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = fd < 0 ? errno : EINVAL;
        if (fd >= 0)
            ::close(fd);
        skipFile(index, error);
        return ZE_OK;
    }
    if (m_inlineCompressor == nullptr)
        m_inlineCompressor = libdeflate_alloc_compressor(m_command.level > 0 ? m_command.level : 1);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::int64_t mtimeNs = nanoseconds(st);
    EntryRecord record = newRecord(index, engineplatform::modificationTime(st), st.st_mode, readNs);
    const bool deflate = shouldDeflate(index) && size > 0 && m_inlineCompressor != nullptr;
    record.method = deflate ? MethodDeflate : MethodStore;
    record.zip64Local = size > Max32;
    const std::uint64_t entryStart = m_out->position();
    record.localOffset = entryStart;
    if (!m_out->write(record.localHeader())) {
        ::close(fd);
        return writeFailed();
    }
    const std::uint64_t dataStart = m_out->position();
    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    std::uint64_t dataSize = 0;
    int error = 0;
    for (std::uint64_t offset = 0; error == 0 && (offset < size || offset == 0);) {
        if (cancelled()) {
            ::close(fd);
            return ZE_ERR_CANCELLED;
        }
        CompressTask piece;
        piece.wholeFile = false;
        piece.fd = fd;
        piece.offset = offset;
        piece.length = std::min<std::uint64_t>(TaskSchedule::PieceSize, size - offset);
        piece.deflate = deflate;
        piece.lastPiece = offset + piece.length >= size;
        piece.run(m_inlineCompressor);
        if (piece.error != 0) {
            error = piece.error > 0 ? piece.error : EIO;
            break;
        }
        if (!m_out->write(piece.data.data(), piece.dataSize)) {
            ::close(fd);
            return writeFailed();
        }
        crc = crc32Combine(crc, piece.crc, piece.rawSize);
        rawSize += piece.rawSize;
        dataSize += piece.dataSize;
        offset += piece.length;
        if (piece.lastPiece)
            break;
    }
    if (error != 0) {
        ::close(fd);
        if (!m_out->truncate(entryStart))
            return writeFailed();
        skipFile(index, error);
        return ZE_OK;
    }
    record.crc = crc;
    record.compressedSize = dataSize;
    record.uncompressedSize = rawSize;
    changed = changedSinceOpened(fd, size, mtimeNs, rawSize);
    if (deflate && dataSize >= rawSize) {
        bool changedAgain = false;
        if (const int rc = storeLargeFileAgain(index, record, dataStart, fd, changedAgain); rc != ZE_OK) {
            ::close(fd);
            return rc;
        }
        changed = changed || changedAgain;
    }
    ::close(fd);
    if (m_results[index].status == ZE_FILE_SKIPPED)
        return ZE_OK;
    if (changed && !acceptChange) {
        if (!m_out->truncate(entryStart))
            return writeFailed();
        return ZE_OK;
    }
    if (const int rc = completeLargeEntry(record, entryStart); rc != ZE_OK)
        return rc;
    m_results[index].size = record.uncompressedSize;
    m_results[index].mtimeNs = mtimeNs;
    markWritten(index, changed);
    changed = false;
    reportProgress(index, record.uncompressedSize);
    return finishEntry(record, true);
}

int AddJob::storeLargeFileAgain(std::size_t index, EntryRecord& record, std::uint64_t dataStart, int fd,
                                bool& changed) {
    // Deflate did not make it smaller: store the file instead, read again from the start. This read
    // must give the bytes of the first (same size and CRC), or the file changed in between.
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
        const ssize_t n = engineplatform::readAt(fd, buffer.data(), want, static_cast<std::uint64_t>(done));
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
    changed = done != record.uncompressedSize || crc != record.crc;
    record.method = MethodStore;
    record.crc = crc;
    record.compressedSize = done;
    record.uncompressedSize = done;
    return ZE_OK;
}

int AddJob::writeUpToDate(std::size_t index) {
    const auto previousIndex = static_cast<std::size_t>(m_previousIndex[index]);
    Copy outcome = Copy::Done;
    if (const int rc = copyPreviousEntry(previousIndex, outcome); rc != ZE_OK || outcome == Copy::Done)
        return rc;
    // The kept copy has rotted: the file, unchanged since, gives the entry afresh.
    m_previousBad[previousIndex] = true;
    message(ZE_WARN_KEPT_DAMAGED, std::string(m_previous->entry(previousIndex).name) + ": taken again from " +
                                      m_command.files[index]);
    m_results[index].status = ZE_FILE_PENDING;
    bool changed = false;
    if (const int rc = writeOnce(index, false, changed); rc != ZE_OK || !changed)
        return rc;
    return writeAgain(index);
}

int AddJob::copyPreviousEntry(std::size_t previousIndex, Copy& outcome) {
    outcome = Copy::Done;
    const ArchiveReader::Entry entry = m_previous->entry(previousIndex);
    std::uint64_t dataOffset = 0;
    std::string localExtra;
    if (!m_previous->locateData(entry, dataOffset, localExtra)) {
        outcome = Copy::Damaged;
        return ZE_OK;
    }
    EntryRecord record = EntryRecord::copyOf(entry, localExtra);
    record.localOffset = m_out->position();
    if (!m_out->write(record.localHeader()))
        return writeFailed();
    bool sound = true;
    if (const int rc = copyAndCheck(previousIndex, entry, dataOffset, record, sound); rc != ZE_OK)
        return rc;
    if (!sound) {
        outcome = Copy::Damaged;
        return m_out->truncate(record.localOffset) ? ZE_OK : writeFailed();
    }
    if ((record.flags & FlagDataDescriptor) && !m_out->write(record.dataDescriptor()))
        return writeFailed();
    return finishEntry(record, false);
}

void AddJob::startKeptCheck() {
    // The entries to be kept are checked against their CRC on every core, in archive order, while
    // this thread copies them: each copy waits for its entry's check and then moves its bytes as
    // they are, without inflating them a second time.
    if (!m_previous)
        return;
    std::vector<bool> kept(m_previous->count(), false);
    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        if (m_results[i].status == ZE_FILE_UP_TO_DATE)
            kept[static_cast<std::size_t>(m_previousIndex[i])] = true;
    }
    std::size_t count = 0;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (!m_previousUsed[k])
            kept[k] = true;
        if (!kept[k])
            continue;
        const ArchiveReader::Entry entry = m_previous->entry(k);
        kept[k] = EntryDataCheck::readable(entry.method, entry.flags);
        count += kept[k] ? 1 : 0;
    }
    if (count == 0)
        return;
    m_keptToCheck = std::move(kept);
    m_keptVerifier = std::make_unique<ArchiveVerifier>(m_previous->fd(), m_keptToCheck, threadCount());
    m_keptVerifier->acceptStoredCrcs();
    m_keptThread = std::thread(
        [this] { m_keptVerifier->checkAll([this] { return m_keptStop.load(std::memory_order_relaxed); }); });
}

void AddJob::endKeptCheck() {
    if (!m_keptThread.joinable())
        return;
    m_keptStop = true;
    m_keptThread.join();
}

int AddJob::copyChecked(const ArchiveReader::Entry& entry, std::uint64_t dataOffset) {
    // Its bytes were checked already: the kernel moves them without a pass through this process.
    return m_out->copyFrom(m_previous->fd(), dataOffset, entry.compressedSize) ? ZE_OK : writeFailed();
}

int AddJob::copyAndCheck(std::size_t previousIndex, const ArchiveReader::Entry& entry,
                         std::uint64_t dataOffset, EntryRecord& record, bool& sound) {
    if (m_keptVerifier) {
        switch (m_keptVerifier->waitFor(previousIndex)) {
        case ArchiveVerifier::Entry::Sound:
            if (entry.method == MethodDeflate)
                addStoredCrc(record, m_keptVerifier->storedCrc(previousIndex));
            return copyChecked(entry, dataOffset);
        case ArchiveVerifier::Entry::Damaged:
            sound = false;
            return ZE_OK;
        case ArchiveVerifier::Entry::Unchecked:
            break; // the whole-archive check could not read it: checked as it is copied
        }
    }
    // Each kept entry's data is checked against its CRC as it is copied, so that bytes rotted in
    // the previous archive are not carried into every later one.
    EntryDataCheck check(entry.method, entry.compressedSize, entry.uncompressedSize, entry.crc);
    if (!EntryDataCheck::readable(entry.method, entry.flags))
        return m_out->copyFrom(m_previous->fd(), dataOffset, entry.compressedSize) ? ZE_OK : writeFailed();
    if (m_decompressor == nullptr)
        m_decompressor = libdeflate_alloc_decompressor();
    const bool whole = check.fitsInMemory();
    const std::uint64_t step = whole ? entry.compressedSize : TaskSchedule::PieceSize;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(step, entry.compressedSize)));
    for (std::uint64_t done = 0; done < entry.compressedSize || (whole && done == 0);) {
        const auto got = static_cast<std::size_t>(std::min(step, entry.compressedSize - done));
        if (!engineplatform::readAllAt(m_previous->fd(), buffer.data(), got, dataOffset + done)) {
            sound = false; // shorter than its directory says, or unreadable
            return ZE_OK;
        }
        if (whole ? !check.check(buffer.data(), got, m_decompressor) : !check.feed(buffer.data(), got)) {
            sound = false;
            return ZE_OK;
        }
        if (!m_out->write(buffer.data(), got))
            return writeFailed();
        done += got;
        if (whole)
            break;
    }
    sound = whole || check.finish();
    if (sound && entry.method == MethodDeflate)
        addStoredCrc(record, check.storedCrc());
    return ZE_OK;
}

void AddJob::addStoredCrc(EntryRecord& record, std::uint32_t storedCrc) {
    // Only in the central header: the local header of a large entry is written before its data.
    constexpr std::size_t Room = 0xffff - 64; // what a Zip64 field may need besides
    record.extra = withoutExtraField(record.extra, ExtraStoredCrc);
    const std::string field = storedCrcExtraField(storedCrc, record.crc);
    if (record.extra.size() + field.size() <= Room)
        record.extra += field;
}

int AddJob::finishEntry(EntryRecord& record, bool writtenNow) {
    if (!m_directory->add(record.centralHeader())) {
        message(ZE_ERR_WRITE, std::string("central directory: ") + std::strerror(errno));
        return ZE_ERR_WRITE;
    }
    m_writtenNow.push_back(writtenNow);
    return ZE_OK;
}

int AddJob::verifyWritten() {
    // Every entry made in this job is read back from the written file before the archive is put in
    // place; kept entries were checked as they were copied.
    if (!m_out->flushBuffer())
        return writeFailed();
    ArchiveVerifier verifier(m_out->fd(), m_writtenNow, threadCount());
    switch (verifier.run([this] { return cancelled(); })) {
    case ArchiveVerifier::Result::Sound:
        return ZE_OK;
    case ArchiveVerifier::Result::Stopped:
        return ZE_ERR_CANCELLED;
    case ArchiveVerifier::Result::Damaged:
        break;
    }
    message(ZE_ERR_VERIFY, m_target + ": " + verifier.problem());
    return ZE_ERR_VERIFY;
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

EntryRecord AddJob::newRecord(std::size_t index, const struct timespec& mtime, std::uint32_t mode,
                              std::int64_t readNs) const {
    return EntryRecord::forFile(
        entryname::forPath(m_command.files[index], (m_command.options & ZE_ADD_DIR_NAMES) != 0), mtime, mode,
        readNs);
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
