#pragma once

#include "archivereader.h"
#include "engineplatform.h"
#include "zipengine_api.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ArchiveTarget;
class PreviousArchive;

// One look at every file of an add job's list before anything is written: which files are left
// out, which entries of the previous archive are up to date, and how much is to be read.
class FileSurvey {
public:
    FileSurvey(const ZeAddCommand& command, ZeFileResult* results, const ArchiveTarget& target);

    // Finds the files listed twice. Done before the previous archive is read, so that the
    // memory of the one is given back before the other takes its own.
    void findRepeated();
    // Fills each file's result (excluded, up to date, or pending) and, with a previous archive, the
    // entries each file replaces and those that give way to it. `previous` is null when no
    // previous archive is kept.
    void run(PreviousArchive* previous);

    // Files that could not even be looked at, with the errno of the attempt.
    const std::map<std::size_t, int>& errors() const { return m_errors; }
    std::uint64_t totalBytes() const { return m_totalBytes; }
    std::size_t toWrite() const { return m_toWrite; }

private:
    std::vector<bool> listedBefore() const;
    bool upToDate(const char* path, const engineplatform::FileStatus& st,
                  const ArchiveReader::Entry& entry) const;
    bool racy(std::int64_t mtimeNs, const ArchiveReader::Entry& entry) const;
    static bool sameContent(const char* path, const engineplatform::FileStatus& st,
                            const ArchiveReader::Entry& entry);
    void dropConflictingEntries();

    const ZeAddCommand& m_command;
    ZeFileResult* m_results;
    const ArchiveTarget& m_target;
    PreviousArchive* m_previous = nullptr;
    std::vector<bool> m_repeated; // per file: listed before under the same entry name
    std::map<std::size_t, int> m_errors;
    std::uint64_t m_totalBytes = 0;
    std::size_t m_toWrite = 0;
};
