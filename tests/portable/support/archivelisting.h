#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The entries of an archive as the central directory names them, read with libzip: a reader other
// than the engine's own.
class ArchiveListing {
public:
    struct Entry {
        std::string name;
        std::uint64_t size = 0;
        std::uint8_t madeBy = 0; // the system the attributes are of (3: Unix)
        std::uint32_t attributes = 0;
        // The ids of the extra fields of the local and of the central header, in order (those a
        // reader handles itself, such as Zip64, left out).
        std::vector<std::uint16_t> localExtraFields;
        std::vector<std::uint16_t> centralExtraFields;
    };

    explicit ArchiveListing(const std::string& archivePath);

    // Empty when the archive was read; otherwise why not.
    const std::string& error() const { return m_error; }
    const std::vector<Entry>& entries() const { return m_entries; }
    // The names, sorted.
    std::vector<std::string> names() const;

private:
    std::string m_error;
    std::vector<Entry> m_entries;
};
