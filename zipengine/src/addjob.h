#pragma once

#include "archivelock.h"
#include "archiveoutput.h"
#include "archivereader.h"
#include "archiveverifier.h"
#include "centraldirectory.h"
#include "compressionpool.h"
#include "compresstask.h"
#include "entryrecord.h"
#include "jobreporter.h"
#include "keptentriescheck.h"
#include "taskschedule.h"
#include "zipengine_api.h"

#include <sys/stat.h>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MessageTable;
struct libdeflate_compressor;
struct libdeflate_decompressor;

// One run of the add engine: reads the files of the list on worker threads (deflating them there),
// writes their entries in list order into a temporary file beside the archive, keeps the entries of
// an existing archive that are not replaced, and puts the new archive in place when it is complete.
class AddJob {
public:
    AddJob(const ZeAddCommand& command, const ZeCallbacks& callbacks, const MessageTable& messages);
    ~AddJob();

    int run();

private:
    // Preparation: the real archive path, the previous archive, and one look at every file.
    void resolveTarget();
    int checkTargetKind();
    void lookAtTarget();
    int openPrevious();
    bool moveDamagedAside();
    // On a run that writes nothing: checks every kept entry (see ZE_ADD_CHECK_KEPT).
    KeptEntriesCheck::Result checkKeptEntries();
    void reportKeptUnreadable(const ArchiveReader::Entry& entry);
    int threadCount() const;
    std::vector<bool> listedBefore();
    bool upToDate(const char* path, const struct stat& st, const ArchiveReader::Entry& entry) const;
    bool racy(std::int64_t mtimeNs, const ArchiveReader::Entry& entry) const;
    static bool sameContent(const char* path, const struct stat& st, const ArchiveReader::Entry& entry);
    void dropConflictingEntries();
    bool targetChangedMeanwhile() const;
    static bool changedSinceOpened(int fd, std::uint64_t plannedSize, std::int64_t openedMtimeNs,
                                   std::uint64_t bytesRead);
    void surveyFiles();
    bool nothingToWrite() const;

    // Writing.
    int writeArchive();
    int writeFile(std::size_t index);
    int writeSmallFile(std::size_t index, CompressTask& task);
    int writeLargeFile(std::size_t index);
    int storeLargeFileAgain(std::size_t index, EntryRecord& record, std::uint64_t dataStart, int fd,
                            bool& changed);
    int completeLargeEntry(EntryRecord& record, std::uint64_t entryStart);
    // Reads the file again on this thread, a few times while it keeps changing; the last read is
    // stored even when the file changed during it, and reported.
    int writeAgain(std::size_t index);
    int writeOnce(std::size_t index, bool acceptChange, bool& changed);
    void markWritten(std::size_t index, bool changing);
    enum class Copy { Done, Damaged };
    int copyPreviousEntry(std::size_t previousIndex, Copy& outcome);
    void startKeptCheck();
    void endKeptCheck();
    int copyChecked(const ArchiveReader::Entry& entry, std::uint64_t dataOffset);
    // Copies a kept entry's data once it was found sound; `record` then gets the field with the
    // CRC of its stored bytes.
    int copyAndCheck(std::size_t previousIndex, const ArchiveReader::Entry& entry, std::uint64_t dataOffset,
                     EntryRecord& record, bool& sound);
    static void addStoredCrc(EntryRecord& record, std::uint32_t storedCrc);
    int writeUpToDate(std::size_t index);
    int writeDirectoryAndEnd();
    int verifyWritten();
    int finishEntry(EntryRecord& record, bool writtenNow);

    std::unique_ptr<CompressTask> nextTask(std::size_t index);
    bool waitFor(CompressTask& task);
    int abandon(std::unique_ptr<CompressTask> task);

    EntryRecord newRecord(std::size_t index, const struct timespec& mtime, std::uint32_t mode,
                          std::int64_t readNs) const;
    bool isLarge(std::size_t index) const;
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
    std::string m_target;
    bool m_viaLink = false; // the archive's name is a link to m_target
    bool m_targetExists = false;
    dev_t m_targetDevice = 0;
    ino_t m_targetInode = 0;
    off_t m_targetSize = 0;
    std::int64_t m_targetMtimeNs = 0;

    ZeFileResult* m_results = nullptr;
    std::vector<ZeFileResult> m_ownResults;
    std::map<std::size_t, int> m_surveyErrors; // files that could not even be looked at
    std::vector<std::int32_t> m_previousIndex; // per file: its entry in the previous archive, or -1
    std::vector<bool> m_previousUsed;          // per previous entry: replaced or already copied
    std::vector<bool> m_previousBad;           // per previous entry: its data failed the CRC check
    std::vector<std::string> m_leftOut;        // damaged entries of files not listed, left out
    std::vector<std::uint64_t> m_nameHashes;   // per file: hash of its entry name (while surveying)
    std::vector<bool> m_writtenNow;            // per entry of the new archive: its data made in this job
    // The kept entries are checked against their CRC on the worker threads while they are copied.
    std::vector<bool> m_keptToCheck; // per previous entry
    std::unique_ptr<ArchiveVerifier> m_keptVerifier;
    std::thread m_keptThread;
    std::atomic<bool> m_keptStop{false};

    std::unique_ptr<ArchiveReader> m_previous;
    std::unique_ptr<ArchiveOutput> m_out;
    std::unique_ptr<CentralDirectory> m_directory;
    std::unique_ptr<CompressionPool> m_pool;
    std::unique_ptr<TaskSchedule> m_schedule; // its tasks must outlive the workers

    std::size_t m_toWrite = 0; // files that are to be read and written
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_doneBytes = 0;
    std::size_t m_skipped = 0;
    std::size_t m_changing = 0;
    bool m_cancelled = false;
    libdeflate_compressor* m_inlineCompressor = nullptr; // for files read again on this thread
    libdeflate_decompressor* m_decompressor = nullptr;   // for kept entries
};
