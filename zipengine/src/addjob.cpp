#include "addjob.h"

#include "engineplatform.h"

#include "archivereplacement.h"
#include "entrydatacheck.h"
#include "entryname.h"
#include "filesurvey.h"
#include "zipformat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

using namespace zipformat;

namespace {

constexpr std::size_t MaxCommentSize = 0xffff;
// How often a file that changes while it is read is read in all before one read is kept anyway.
constexpr int MaxReads = 4;
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
    if (m_previous)
        m_previous->endKeptCheck();
    m_pool.reset(); // joins the workers before the tasks and files they use go
    m_schedule.reset();
}

int AddJob::run() {
    if (m_command.archivePath == nullptr || *m_command.archivePath == '\0' ||
        (m_command.fileCount > 0 && m_command.files == nullptr)) {
        message(ZE_ERR_BAD_COMMAND, std::string());
        return ZE_ERR_BAD_COMMAND;
    }
    m_target = std::make_unique<ArchiveTarget>(m_command.archivePath);
    if (const std::string problem = m_target->kindProblem(m_command.archivePath); !problem.empty()) {
        message(ZE_ERR_NOT_ARCHIVE_FILE, target() + ": " + problem);
        return ZE_ERR_NOT_ARCHIVE_FILE;
    }
    if (m_lock.acquire(target()) == ArchiveLock::Result::InUse) {
        message(ZE_ERR_IN_USE, target());
        return ZE_ERR_IN_USE;
    }
    // Only one job at a time gets here: a named temporary left now is a killed job's.
    ArchiveOutput::removeStaleTemporaries(target());
    m_target->lookAt();
    FileSurvey survey(m_command, m_results, *m_target);
    survey.findRepeated();
    if (const int rc = openPrevious(); rc != ZE_OK)
        return rc;
    survey.run(m_previous.get());
    m_surveyErrors = survey.errors();
    m_totalBytes = survey.totalBytes();
    m_toWrite = survey.toWrite();
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

int AddJob::openPrevious() {
    // An empty file holds nothing to keep (a name reserved with touch, say): it is simply replaced.
    // A fresh archive keeps nothing: the previous one is only replaced, once this one is complete.
    if (!m_target->exists() || (m_command.options & ZE_ADD_FRESH) != 0 || m_target->isEmptyFile())
        return ZE_OK;
    m_previous = std::make_unique<PreviousArchive>(m_command.fileCount, threadCount());
    if (!m_previous->open(target())) {
        // A damaged archive would block every later backup under its name: it is kept aside
        // for whatever can still be rescued from it, and a complete new archive is written.
        const bool damaged = m_previous->reader().damaged();
        if (damaged && !m_target->viaLink() && moveDamagedAside())
            return ZE_OK;
        const int code = damaged ? ZE_ERR_BAD_ARCHIVE : ZE_ERR_OPEN_ARCHIVE;
        message(code, target() + ": " + m_previous->reader().errorText());
        return code;
    }
    return ZE_OK;
}

bool AddJob::moveDamagedAside() {
    const std::string reason = m_previous->reader().errorText();
    m_previous.reset();
    return ArchiveReplacement(*m_target, m_report).moveDamagedAside(reason);
}

KeptEntriesCheck::Result AddJob::checkKeptEntries() {
    KeptEntriesCheck check(m_previous->reader(), threadCount());
    const KeptEntriesCheck::Result result = check.run([this] { return cancelled(); });
    if (result == KeptEntriesCheck::Result::Sound) {
        for (const std::size_t k : check.unreadable())
            reportKeptUnreadable(m_previous->reader().entry(k));
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

bool AddJob::nothingToWrite() const {
    // A run told which files did not change finds nothing new when none is to be written: the
    // comment's date alone does not rewrite the archive.
    if (m_toWrite != 0)
        return false;
    if (!m_previous)
        return true;
    const bool sameComment = m_command.unchanged != nullptr || m_previous->reader().comment() == m_comment;
    return sameComment && !m_previous->reader().anySuperseded();
}

int AddJob::writeArchive() {
    m_out = std::make_unique<ArchiveOutput>();
    if (!m_out->create(target())) {
        message(ZE_ERR_CREATE_TEMP,
                engineplatform::folderOf(target()) + ": " + std::strerror(m_out->errorNumber()));
        return ZE_ERR_CREATE_TEMP;
    }
    m_directory = std::make_unique<CentralDirectory>(engineplatform::folderOf(target()));
    m_pool = std::make_unique<CompressionPool>(threadCount(), m_command.level > 0 ? m_command.level : 1);
    TaskSchedule::Plan plan;
    plan.toRead = [this](std::size_t i) {
        return m_results[i].status == ZE_FILE_PENDING && m_surveyErrors.count(i) == 0;
    };
    plan.deflate = [this](std::size_t i) {
        return shouldDeflate(i);
    };
    m_schedule = std::make_unique<TaskSchedule>(m_command, m_results, std::move(plan), *m_pool);
    TaskEntryWriter::Hooks hooks;
    hooks.cancelled = [this] {
        return cancelled();
    };
    hooks.pieceDone = [this](std::size_t index, std::uint64_t plannedBytes, std::uint64_t fileDone) {
        m_doneBytes += plannedBytes;
        reportProgress(index, fileDone);
    };
    m_taskWriter = std::make_unique<TaskEntryWriter>(*m_out, *m_schedule, *m_pool, std::move(hooks));
    // The workers deflate the first files while the kept entries are checked.
    m_schedule->fill();
    if (m_previous)
        m_previous->startKeptCheck(m_results, m_command.fileCount);

    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        if (const int rc = writeFile(i); rc != ZE_OK)
            return rc;
    }
    for (std::size_t k = 0; m_previous && k < m_previous->reader().count(); ++k) {
        if (m_previous->used(k) || m_previous->bad(k))
            continue;
        if (cancelled())
            return ZE_ERR_CANCELLED;
        const ArchiveReader::Entry entry = m_previous->reader().entry(k);
        if (!EntryDataCheck::readable(entry.method, entry.flags))
            reportKeptUnreadable(entry);
        bool damaged = false;
        if (const int rc = copyPreviousEntry(k, damaged); rc != ZE_OK)
            return rc;
        // Its only copy is in the previous archive: that is kept aside before it is replaced.
        if (damaged)
            m_leftOut.emplace_back(entry.name);
    }
    if (m_previous)
        m_previous->endKeptCheck();
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
    // Where an open file cannot be replaced, the previous archive must not be open any more.
    m_previous.reset();
    return ArchiveReplacement(*m_target, m_report).commit(*m_out, m_leftOut);
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
    if (TaskSchedule::isLarge(result.size))
        return writeLargeFile(index);
    std::unique_ptr<CompressTask> task = m_taskWriter->nextTask(index);
    if (!task)
        return outOfOrder();
    if (!m_taskWriter->waitFor(*task)) {
        m_taskWriter->abandon(std::move(task));
        return ZE_ERR_CANCELLED;
    }
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
    if (!m_taskWriter->writeSmall(task, record))
        return writeFailed();
    m_results[index].size = task.rawSize;
    m_results[index].mtimeNs = task.mtimeNs;
    markWritten(index, false);
    m_doneBytes += task.plannedBytes;
    reportProgress(index, task.rawSize);
    return finishEntry(record, true);
}

int AddJob::writeLargeFile(std::size_t index) {
    // The file is opened when its first piece is scheduled.
    m_schedule->fill();
    const TaskSchedule::LargeFile file = m_schedule->largeFile(index);
    if (file.fd < 0) {
        m_schedule->closeLargeFile(index);
        skipFile(index, file.error != 0 ? file.error : EIO);
        return ZE_OK;
    }
    TaskEntryWriter::Result written =
        m_taskWriter->writeLarge(index, newRecord(index, file.mtime, file.mode, file.readNs),
                                 shouldDeflate(index), m_results[index].size);
    switch (written.outcome) {
    case TaskEntryWriter::Outcome::Skipped:
        skipFile(index, written.error);
        return ZE_OK;
    case TaskEntryWriter::Outcome::Changed:
        return writeAgain(index);
    case TaskEntryWriter::Outcome::Cancelled:
        return ZE_ERR_CANCELLED;
    case TaskEntryWriter::Outcome::WriteFailed:
        return writeFailed();
    case TaskEntryWriter::Outcome::OutOfOrder:
        return outOfOrder();
    case TaskEntryWriter::Outcome::Written:
        break;
    }
    m_results[index].size = written.record.uncompressedSize;
    m_results[index].mtimeNs = file.mtimeNs;
    markWritten(index, false);
    return finishEntry(written.record, true);
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
    result.status = m_previous && m_previous->entryOf(index) >= 0 ? ZE_FILE_REPLACED : ZE_FILE_ADDED;
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
    if (!m_inlineWriter)
        m_inlineWriter =
            std::make_unique<InlineEntryWriter>(*m_out, m_command.level, [this] { return cancelled(); });
    InlineEntryWriter::Result written =
        m_inlineWriter->write(m_command.files[index], entryName(index), shouldDeflate(index), acceptChange);
    switch (written.outcome) {
    case InlineEntryWriter::Outcome::Skipped:
        skipFile(index, written.error);
        return ZE_OK;
    case InlineEntryWriter::Outcome::Cancelled:
        return ZE_ERR_CANCELLED;
    case InlineEntryWriter::Outcome::WriteFailed:
        return writeFailed();
    case InlineEntryWriter::Outcome::Changed:
        changed = true;
        return ZE_OK;
    case InlineEntryWriter::Outcome::Written:
        break;
    }
    m_results[index].size = written.record.uncompressedSize;
    m_results[index].mtimeNs = written.mtimeNs;
    markWritten(index, written.changed);
    reportProgress(index, written.record.uncompressedSize);
    return finishEntry(written.record, true);
}

int AddJob::writeUpToDate(std::size_t index) {
    const auto previousIndex = static_cast<std::size_t>(m_previous->entryOf(index));
    bool damaged = false;
    if (const int rc = copyPreviousEntry(previousIndex, damaged); rc != ZE_OK || !damaged)
        return rc;
    // The kept copy has rotted: the file, unchanged since, gives the entry afresh.
    m_previous->markBad(previousIndex);
    message(ZE_WARN_KEPT_DAMAGED, std::string(m_previous->reader().entry(previousIndex).name) +
                                      ": taken again from " + m_command.files[index]);
    m_results[index].status = ZE_FILE_PENDING;
    bool changed = false;
    if (const int rc = writeOnce(index, false, changed); rc != ZE_OK || !changed)
        return rc;
    return writeAgain(index);
}

int AddJob::copyPreviousEntry(std::size_t previousIndex, bool& damaged) {
    EntryRecord record;
    switch (m_previous->copyEntry(previousIndex, *m_out, record)) {
    case PreviousArchive::Copy::Damaged:
        damaged = true;
        return ZE_OK;
    case PreviousArchive::Copy::WriteFailed:
        return writeFailed();
    case PreviousArchive::Copy::Done:
        break;
    }
    damaged = false;
    return finishEntry(record, false);
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
    message(ZE_ERR_VERIFY, target() + ": " + verifier.problem());
    return ZE_ERR_VERIFY;
}

int AddJob::writeDirectoryAndEnd() {
    m_report.progress(ZE_PROGRESS_NEW_EXTRA, m_command.archivePath, 0);
    return m_directory->writeTo(*m_out, m_comment) ? ZE_OK : writeFailed();
}

int AddJob::outOfOrder() {
    message(ZE_ERR_INTERNAL, "tasks out of order");
    return ZE_ERR_INTERNAL;
}

std::string AddJob::entryName(std::size_t index) const {
    return entryname::forPath(m_command.files[index], (m_command.options & ZE_ADD_DIR_NAMES) != 0);
}

EntryRecord AddJob::newRecord(std::size_t index, const struct timespec& mtime, std::uint32_t mode,
                              std::int64_t readNs) const {
    return EntryRecord::forFile(entryName(index), mtime, mode, readNs);
}

void AddJob::skipFile(std::size_t index, int error) {
    m_results[index].status = ZE_FILE_SKIPPED;
    ++m_skipped;
    // A file that was to replace an entry and cannot be read leaves the old entry in the archive.
    if (m_previous && m_previous->entryOf(index) >= 0)
        m_previous->setUsed(static_cast<std::size_t>(m_previous->entryOf(index)), false);
    const std::string reason = error == CompressTask::ChangedWhileRead
                                   ? std::string("it changed while it was read")
                                   : std::strerror(error);
    message(ZE_ERR_SKIPPED_FILE, std::string(m_command.files[index]) + ": " + reason);
}

int AddJob::writeFailed() {
    message(ZE_ERR_WRITE,
            target() + ": " + m_out->errorContext() + ": " + std::strerror(m_out->errorNumber()));
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
