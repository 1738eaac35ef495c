#include "aescounterstream.h"

#include <bit>
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
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(counter, &value, 8);
        } else {
            for (int i = 0; i < 8; ++i, value >>= 8)
                counter[i] = static_cast<unsigned char>(value & 0xff);
        }
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
        for (; i + 16 <= piece; i += 16) {
            std::uint64_t words[2];
            std::uint64_t mask[2];
            std::memcpy(words, data + i, 16);
            std::memcpy(mask, stream + i, 16);
            words[0] ^= mask[0];
            words[1] ^= mask[1];
            std::memcpy(data + i, words, 16);
        }
        for (; i < piece; ++i)
            data[i] ^= stream[i];
        data += piece;
        size -= piece;
        m_used += piece;
    }
    return true;
}
