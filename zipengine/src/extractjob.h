#pragma once

#include "folderhandle.h"
#include "jobreporter.h"
#include "zipengine_api.h"

#include <cstdint>
#include <string>

class MessageTable;
struct zip;

// One run of the extract engine: reads every entry of an archive, checks its CRC and size, and
// (unless only testing) writes it below the destination folder. Names that could leave the
// destination are refused; existing symbolic links in the destination are never followed.
class ExtractJob {
public:
    ExtractJob(const ZeExtractCommand& command, const ZeCallbacks& callbacks, const MessageTable& messages);

    // `archiveStart` is the number of bytes in front of the archive (a self-extractor's own code).
    int run(std::uint64_t archiveStart = 0);

private:
    int processEntry(zip* archive, std::uint64_t index);
    int openOutput(const std::string& name, int& fd);
    // The name the entry's file had: the exact bytes our raw-name field keeps, or the stored name.
    static std::string fileNameOf(zip* archive, std::uint64_t index, const char* storedName);
    void applyAttributes(zip* archive, std::uint64_t index, int fd, std::int64_t fallbackTime);
    void message(int code, const std::string& detail);

    const ZeExtractCommand& m_command;
    JobReporter m_report;
    bool m_testOnly = false;
    FolderHandle m_destination;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_doneBytes = 0;
};
