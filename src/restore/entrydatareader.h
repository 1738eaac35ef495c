#pragma once

#include "archivereader.h"

#include <cstddef>
#include <functional>
#include <vector>

struct libdeflate_decompressor;

// Reads the data of one entry, inflated, in order, and checks it against the entry's size and CRC.
// Entries that fit in memory are inflated in one step with libdeflate; larger ones in pieces.
class EntryDataReader {
public:
    enum class Result { Sound, Damaged, Unsupported, Stopped, SinkFailed };
    // Takes a piece of data; false stops the reading.
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    explicit EntryDataReader(const ArchiveReader& reader);
    ~EntryDataReader();
    EntryDataReader(const EntryDataReader&) = delete;
    EntryDataReader& operator=(const EntryDataReader&) = delete;

    // The sink sees the data before the check at the end, so it must hold it back until Sound.
    // `stop` is asked between pieces.
    Result read(const ArchiveReader::Entry& entry, const Sink& sink, const std::function<bool()>& stop);

private:
    Result readStored(std::uint64_t offset, const ArchiveReader::Entry& entry, const Sink& sink,
                      const std::function<bool()>& stop);
    Result inflateWhole(std::uint64_t offset, const ArchiveReader::Entry& entry, const Sink& sink);
    Result inflatePieces(std::uint64_t offset, const ArchiveReader::Entry& entry, const Sink& sink,
                         const std::function<bool()>& stop);
    bool readAt(std::uint64_t offset, char* into, std::size_t size) const;

    const ArchiveReader& m_reader;
    libdeflate_decompressor* m_decompressor = nullptr;
    std::vector<char> m_in;
    std::vector<char> m_out;
};
