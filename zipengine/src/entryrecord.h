#pragma once

#include "archivereader.h"

#include <cstdint>
#include <string>

// Everything the local and central headers of one entry say about it.
struct EntryRecord {
    std::string name;
    std::string extra;      // extra fields of the central header, without Zip64
    std::string localExtra; // extra fields of the local header, without Zip64
    std::string comment;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 20;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localOffset = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    // The local header carries its sizes in a Zip64 field. Only sizes above 0xFFFFFFFF need one: a
    // size of exactly 0xFFFFFFFF stays in the 32-bit field, as Info-ZIP writes it, because Info-ZIP's
    // unzip misreads the sizes of later entries after a Zip64 field for it ("overlapped components").
    bool zip64Local = false;

    // A new entry for a file: the name as UTF-8 (a name that is not keeps its bytes in a field of its
    // own), DOS time and the
    // Unix timestamp field, the NTFS field with the time at full precision and the moment the file
    // was read (`readNs`), the file's mode.
    static EntryRecord forFile(std::string name, std::int64_t mtimeNs, std::uint32_t mode,
                               std::int64_t readNs);
    static EntryRecord forFile(std::string name, const struct timespec& mtime, std::uint32_t mode,
                               std::int64_t readNs);
    // An entry of a previous archive, copied as it is (its Zip64 fields are made again as needed).
    static EntryRecord copyOf(const ArchiveReader::Entry& entry, const std::string& localExtra);

    std::string localHeader() const;
    std::string centralHeader() const;
    // The fields both headers share, from the flags to the CRC.
    void putSharedFields(std::string& out) const;
    // The data descriptor written after the data of an entry whose flags announce one.
    std::string dataDescriptor() const;
    // Where the crc and size fields sit inside localHeader(), to fill them in afterwards.
    static constexpr std::size_t LocalMethodOffset = 8;
    static constexpr std::size_t LocalCrcOffset = 14;
    std::size_t localZip64Offset() const; // offset of the Zip64 sizes inside localHeader()

    bool centralNeedsZip64() const;

    // Adds the field with the CRC of the stored (deflated) bytes, in the central header only: the
    // local header of a large entry is written before its data.
    void addStoredCrc(std::uint32_t storedCrc);
};
