#pragma once

#include <cstdint>
#include <string>

class ArchiveOutput;

// The central directory of the archive being written. Records are kept in memory up to a limit
// and then moved to an unnamed temporary file, so a list of millions of files stays small.
class CentralDirectory {
public:
    explicit CentralDirectory(std::string spillFolder);
    ~CentralDirectory();

    CentralDirectory(const CentralDirectory&) = delete;
    CentralDirectory& operator=(const CentralDirectory&) = delete;

    bool add(const std::string& record);
    std::uint64_t count() const { return m_count; }
    std::uint64_t size() const { return m_spilled + m_memory.size(); }
    // Appends every record, in order, to the archive, then the end records (Zip64 ones when the
    // entries, the size or the position need them) with the archive comment.
    bool writeTo(ArchiveOutput& out, const std::string& comment);

private:
    bool spill();

    std::string m_spillFolder;
    std::string m_memory;
    int m_spillFd = -1;
    std::uint64_t m_spilled = 0;
    std::uint64_t m_count = 0;
};
