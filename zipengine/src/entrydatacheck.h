#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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

    // False for methods other than store and deflate: such data cannot be checked here.
    bool checkable() const;
    // True when check() may be given the whole data at once.
    bool fitsInMemory() const;

    // The whole stored data at once (fitsInMemory()).
    bool check(const unsigned char* data, std::size_t size, libdeflate_decompressor* decompressor);
    // The stored data in pieces, in order; finish() gives the verdict.
    bool feed(const unsigned char* data, std::size_t size);
    bool finish();

    // Reads the stored data from a file at `offset` and checks it.
    bool checkFile(int fd, std::uint64_t offset, libdeflate_decompressor* decompressor);

private:
    struct Stream;

    std::uint16_t m_method;
    std::uint64_t m_compressedSize;
    std::uint64_t m_uncompressedSize;
    std::uint32_t m_crc;
    std::uint32_t m_runningCrc = 0;
    std::uint64_t m_fed = 0;
    std::uint64_t m_produced = 0;
    bool m_failed = false;
    std::unique_ptr<Stream> m_stream;
    std::vector<unsigned char> m_scratch;
};
