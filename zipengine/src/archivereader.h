#pragma once

#include "directorybytes.h"

#include <ctime>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The central directory of an existing archive, held compactly: the directory's bytes (mapped
// from the file where the system can, see DirectoryBytes) plus an offset and a name hash per
// entry, so that large archives stay cheap to update.
class ArchiveReader {
public:
    struct Entry {
        std::string_view name;       // the file's name as bytes, the one to compare and restore to
        std::string_view storedName; // as the header holds it; differs when it keeps a raw name
        std::string_view centralExtra;
        std::string_view comment;
        std::uint16_t versionMadeBy = 0;
        std::uint16_t versionNeeded = 0;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint16_t dosTime = 0;
        std::uint16_t dosDate = 0;
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t uncompressedSize = 0;
        std::uint64_t localOffset = 0; // in the file, corrected for data in front of the archive
        std::uint16_t internalAttributes = 0;
        std::uint32_t externalAttributes = 0;
        // Modification time, and the step in which the entry holds it: 100 ns from the NTFS field,
        // a second from the Unix timestamp field, two seconds from the DOS time.
        std::int64_t mtimeNs = 0;
        struct timespec mtime {}; // the same, exact also outside the years 1677 to 2262
        std::int64_t timeStepNs = 2000000000;
        std::int64_t readNs = 0; // when the file was read for the archive, 0 when unknown
    };

    ArchiveReader() = default;
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // False with errorText() when the file cannot be read (errno kept) or is not a usable archive.
    bool open(const std::string& path);
    // The same on a file already open; the reader owns `fd` from now on. Without `findByName`
    // the entries are only read by index: find() finds nothing and superseded() is always false,
    // and the name index's memory is spared.
    bool openFd(int fd, bool findByName = true);
    bool damaged() const { return m_damaged; }
    const std::string& errorText() const { return m_error; }

    std::size_t count() const { return m_offsets.size(); }
    Entry entry(std::size_t index) const;
    // Index of the current entry with this exact name, or -1.
    std::int64_t find(std::string_view name) const;
    // The same, looking first at entry `likely`: a list in the archive's order finds each entry
    // next to the one before.
    std::int64_t find(std::string_view name, std::size_t likely) const;
    // An entry whose name a newer entry of the archive also has: it is never carried forward.
    bool superseded(std::size_t index) const { return m_superseded[index]; }
    bool anySuperseded() const { return m_supersededCount > 0; }
    const std::string& comment() const { return m_comment; }

    // Where the entry's data starts, with the local header's extra fields; false when damaged.
    bool locateData(const Entry& entry, std::uint64_t& dataOffset, std::string& localExtra) const;
    int fd() const { return m_fd; }
    // Bytes in front of the archive, such as a self-extractor's own program.
    std::int64_t shift() const { return m_shift; }

private:
    bool fail(const std::string& text, bool damaged);
    bool readAt(std::uint64_t offset, void* buffer, std::size_t size) const;
    // entry(index).name alone, without the rest of the header decoded.
    std::string_view nameOf(std::size_t index) const;
    void markSuperseded();
    bool readDirectory(std::uint64_t directoryOffset, std::uint64_t directorySize, std::uint64_t entries);

    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    std::int64_t m_shift = 0; // bytes in front of the archive (self-extractor stub)
    DirectoryBytes m_directory;
    std::vector<std::uint32_t> m_offsets;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_index; // name hash, entry, sorted
    std::vector<bool> m_superseded;
    std::size_t m_supersededCount = 0;
    std::string m_comment;
    std::string m_error;
    bool m_damaged = false;
    bool m_findByName = true;
};
