#pragma once

#include "archiveoutput.h"
#include "archivereader.h"
#include "centraldirectory.h"
#include "compressionpool.h"
#include "compresstask.h"
#include "entryrecord.h"
#include "jobreporter.h"
#include "taskschedule.h"
#include "zipengine_api.h"

#include <map>
#include <memory>
#include <optional>
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
    // Preparation: the real archive path, the previous archive, and one look at every file.
    void resolveTarget();
    int openPrevious();
    std::vector<bool> listedBefore() const;
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
    int storeLargeFileAgain(std::size_t index, EntryRecord& record, std::uint64_t dataStart, int fd);
    int copyPreviousEntry(std::size_t previousIndex);
    int writeDirectoryAndEnd();
    int finishEntry(EntryRecord& record);

    std::unique_ptr<CompressTask> nextTask(std::size_t index);
    bool waitFor(CompressTask& task);
    int abandon(std::unique_ptr<CompressTask> task);

    EntryRecord newRecord(std::size_t index, std::int64_t mtimeNs, std::uint32_t mode) const;
    bool isLarge(std::size_t index) const;
    bool shouldDeflate(std::size_t index) const;
    void skipFile(std::size_t index, int error);
    int writeFailed();
    bool cancelled();
    void reportProgress(std::size_t index, std::uint64_t fileDone);
    void message(int code, const std::string& detail);

    const ZeAddCommand& m_command;
    JobReporter m_report;
    std::vector<std::string> m_storeSuffixes;
    std::string m_comment;
    std::string m_target;
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

    std::unique_ptr<ArchiveReader> m_previous;
    std::unique_ptr<ArchiveOutput> m_out;
    std::unique_ptr<CentralDirectory> m_directory;
    std::unique_ptr<CompressionPool> m_pool;
    std::unique_ptr<TaskSchedule> m_schedule; // its tasks must outlive the workers

    std::size_t m_toWrite = 0; // files that are to be read and written
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_doneBytes = 0;
    std::size_t m_skipped = 0;
    bool m_cancelled = false;
};
