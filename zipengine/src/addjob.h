#pragma once

#include "archivelock.h"
#include "archiveoutput.h"
#include "archivereader.h"
#include "archivetarget.h"
#include "archiveverifier.h"
#include "centraldirectory.h"
#include "compressionpool.h"
#include "compresstask.h"
#include "entryrecord.h"
#include "inlineentrywriter.h"
#include "jobreporter.h"
#include "keptentriescheck.h"
#include "previousarchive.h"
#include "taskentrywriter.h"
#include "taskschedule.h"
#include "zipengine_api.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class MessageTable;

// One run of the add engine: reads the files of the list on worker threads (deflating them there),
// writes their entries in list order into a temporary file beside the archive, keeps the entries of
// an existing archive that are not replaced, and puts the new archive in place when it is complete.
class AddJob {
public:
    AddJob(const ZeAddCommand& command, const ZeCallbacks& callbacks, const MessageTable& messages);
    ~AddJob();

    int run();

private:
    std::string target() const { return m_target->path(); }
    int openPrevious();
    bool moveDamagedAside();
    // On a run that writes nothing: checks every kept entry (see ZE_ADD_CHECK_KEPT).
    KeptEntriesCheck::Result checkKeptEntries();
    void reportKeptUnreadable(const ArchiveReader::Entry& entry);
    int threadCount() const;
    bool nothingToWrite() const;

    // Writing.
    int writeArchive();
    int writeFile(std::size_t index);
    int writeSmallFile(std::size_t index, CompressTask& task);
    int writeLargeFile(std::size_t index);
    // Reads the file again on this thread, a few times while it keeps changing; the last read is
    // stored even when the file changed during it, and reported.
    int writeAgain(std::size_t index);
    int writeOnce(std::size_t index, bool acceptChange, bool& changed);
    void markWritten(std::size_t index, bool changing);
    int copyPreviousEntry(std::size_t previousIndex, bool& damaged);
    int writeUpToDate(std::size_t index);
    int writeDirectoryAndEnd();
    int verifyWritten();
    int finishEntry(EntryRecord& record, bool writtenNow);
    int outOfOrder();

    std::string entryName(std::size_t index) const;
    EntryRecord newRecord(std::size_t index, const struct timespec& mtime, std::uint32_t mode,
                          std::int64_t readNs) const;
    bool shouldDeflate(std::size_t index) const;
    void skipFile(std::size_t index, int error);
    int writeFailed();
    bool cancelled();
    void reportProgress(std::size_t index, std::uint64_t fileDone);
    void message(int code, const std::string& detail);

    const ZeAddCommand& m_command;
    ArchiveLock m_lock; // held until everything else of the job is gone
    JobReporter m_report;
    std::vector<std::string> m_storeSuffixes;
    std::string m_comment;
    std::unique_ptr<ArchiveTarget> m_target;

    ZeFileResult* m_results = nullptr;
    std::vector<ZeFileResult> m_ownResults;
    std::map<std::size_t, int> m_surveyErrors; // files that could not even be looked at
    std::vector<std::string> m_leftOut;        // damaged entries of files not listed, left out
    std::vector<bool> m_writtenNow;            // per entry of the new archive: its data made in this job
    std::unique_ptr<PreviousArchive> m_previous;
    std::unique_ptr<ArchiveOutput> m_out;
    std::unique_ptr<CentralDirectory> m_directory;
    std::unique_ptr<CompressionPool> m_pool;
    std::unique_ptr<TaskSchedule> m_schedule; // its tasks must outlive the workers
    std::unique_ptr<TaskEntryWriter> m_taskWriter;
    std::unique_ptr<InlineEntryWriter> m_inlineWriter; // for files read again on this thread

    std::size_t m_toWrite = 0; // files that are to be read and written
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_doneBytes = 0;
    std::size_t m_skipped = 0;
    std::size_t m_changing = 0;
    bool m_cancelled = false;
};
