#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "scratchbuffer.h"

struct libdeflate_decompressor;

// Checks the stored data of one entry against its sizes and CRC: stored data directly, deflate
// data by inflating it. Data that fits in memory is checked in one step with libdeflate; larger
// data is fed in pieces as it is read.
class EntryDataCheck {
public:
    EntryDataCheck(std::uint16_t method, std::uint64_t compressedSize, std::uint64_t uncompressedSize,
                   std::uint32_t crc);
    ~EntryDataCheck();

    EntryDataCheck(const EntryDataCheck&) = delete;
    EntryDataCheck& operator=(const EntryDataCheck&) = delete;

    // Stored bytes with this CRC-32 are taken as sound without inflating them: they are the bytes
    // that inflated to the entry's CRC before. Other bytes are inflated as always.
    void acceptStoredCrc(std::uint32_t storedCrc);
    // The CRC-32 of the stored bytes, after a check that found them sound.
    std::uint32_t storedCrc() const { return m_storedCrc; }

    // False for methods other than store and deflate: such data cannot be checked here.
    bool checkable() const;
    // Whether this engine can read an entry's data at all: stored or deflated, and not encrypted.
    static bool readable(std::uint16_t method, std::uint16_t flags);
    // True when check() may be given the whole data at once.
    bool fitsInMemory() const;

    // The whole stored data at once (fitsInMemory()). `output` is room for the inflated data that a
    // caller checking many entries keeps between them; without it the check has its own.
    bool check(const unsigned char* data, std::size_t size, libdeflate_decompressor* decompressor,
               ScratchBuffer* output = nullptr);
    // The stored data in pieces, in order; finish() gives the verdict.
    bool feed(const unsigned char* data, std::size_t size);
    bool finish();

    // Reads the stored data from a file at `offset` and checks it, in `input` and `output` when given.
    bool checkFile(int fd, std::uint64_t offset, libdeflate_decompressor* decompressor,
                   ScratchBuffer* input = nullptr, ScratchBuffer* output = nullptr);

private:
    struct Stream;

    // The CRC-32 of the stored bytes in the file, read in pieces; false when they cannot be read.
    bool storedCrcOfFile(int fd, std::uint64_t offset, ScratchBuffer& buffer, std::uint32_t& crc) const;

    std::uint16_t m_method;
    std::uint64_t m_compressedSize;
    std::uint64_t m_uncompressedSize;
    std::uint32_t m_crc;
    std::uint32_t m_runningCrc = 0;
    std::uint32_t m_storedCrc = 0;
    std::uint32_t m_acceptedStoredCrc = 0;
    bool m_storedCrcAccepted = false;
    std::uint64_t m_fed = 0;
    std::uint64_t m_produced = 0;
    bool m_failed = false;
    std::unique_ptr<Stream> m_stream;
    ScratchBuffer m_ownOutput;
    ScratchBuffer m_ownInput;
};
