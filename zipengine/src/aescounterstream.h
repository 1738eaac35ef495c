#pragma once

#include "aescrypto.h"

#include <cstddef>
#include <cstdint>

// AES-256 in counter mode as the ZIP format's AES scheme has it: the counter is a little-endian
// number in the block's first bytes, the first block's being 1. Data may come in pieces of any
// size; the key stream goes on where the last piece ended.
class AesCounterStream {
public:
    AesCounterStream() = default;
    ~AesCounterStream();
    AesCounterStream(const AesCounterStream&) = delete;
    AesCounterStream& operator=(const AesCounterStream&) = delete;

    // Starts the stream anew with `key` (32 bytes).
    bool start(const unsigned char* key);
    // XORs the key stream into `data`; encrypts and decrypts alike.
    bool apply(unsigned char* data, std::size_t size);

private:
    bool refill();

    // Key stream made ahead in batches, which lets the cipher work on many blocks at once.
    static constexpr std::size_t BatchBlocks = 512;
    static constexpr std::size_t BatchSize = BatchBlocks * aescrypto::AesBlockSize;

    aescrypto::AesBlockCipher m_cipher;
    std::uint64_t m_nextCounter = 1;
    alignas(16) unsigned char m_keyStream[BatchSize] = {};
    std::size_t m_used = BatchSize;
};
