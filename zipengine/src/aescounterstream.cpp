#include "aescounterstream.h"

#include <cstring>

AesCounterStream::~AesCounterStream() {
    aescrypto::wipe(m_keyStream, sizeof m_keyStream);
}

bool AesCounterStream::start(const unsigned char* key) {
    m_nextCounter = 1;
    m_used = BatchSize;
    return m_cipher.setKey(key);
}

bool AesCounterStream::refill() {
    // Counters beyond 64 bits would take more data than any file holds, so the upper half stays 0.
    for (std::size_t block = 0; block < BatchBlocks; ++block) {
        unsigned char* counter = m_keyStream + block * aescrypto::AesBlockSize;
        std::uint64_t value = m_nextCounter++;
        for (int i = 0; i < 8; ++i, value >>= 8)
            counter[i] = static_cast<unsigned char>(value & 0xff);
        std::memset(counter + 8, 0, 8);
    }
    m_used = 0;
    return m_cipher.encryptBlocks(m_keyStream, m_keyStream, BatchSize);
}

bool AesCounterStream::apply(unsigned char* data, std::size_t size) {
    while (size > 0) {
        if (m_used == BatchSize && !refill())
            return false;
        const std::size_t piece = size < BatchSize - m_used ? size : BatchSize - m_used;
        const unsigned char* stream = m_keyStream + m_used;
        std::size_t i = 0;
        for (; i + 8 <= piece; i += 8) {
            std::uint64_t word;
            std::uint64_t mask;
            std::memcpy(&word, data + i, 8);
            std::memcpy(&mask, stream + i, 8);
            word ^= mask;
            std::memcpy(data + i, &word, 8);
        }
        for (; i < piece; ++i)
            data[i] ^= stream[i];
        data += piece;
        size -= piece;
        m_used += piece;
    }
    return true;
}
