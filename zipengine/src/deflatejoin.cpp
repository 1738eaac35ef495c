#include "deflatejoin.h"

#include <array>
#include <cstring>

namespace deflatejoin {
namespace {

constexpr std::uint32_t InvalidEntry = 0xffffffffu;

class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size)
        : m_data(data)
        , m_size(size) {}

    // Up to 32 bits at the current position, least significant first; zeros past the end.
    std::uint32_t peek(int count) const {
        const std::size_t byte = static_cast<std::size_t>(m_pos >> 3);
        std::uint64_t word = 0;
        if (byte + 8 <= m_size) {
            std::memcpy(&word, m_data + byte, 8);
        } else {
            for (std::size_t i = 0; i < 8 && byte + i < m_size; ++i)
                word |= static_cast<std::uint64_t>(m_data[byte + i]) << (8 * i);
        }
        word >>= (m_pos & 7);
        return static_cast<std::uint32_t>(word & ((std::uint64_t{1} << count) - 1));
    }
    void skip(int count) { m_pos += static_cast<std::uint64_t>(count); }
    std::uint32_t take(int count) {
        const std::uint32_t v = count == 0 ? 0 : peek(count);
        skip(count);
        return v;
    }
    void alignToByte() { m_pos = (m_pos + 7) & ~std::uint64_t{7}; }
    bool overrun() const { return m_pos > static_cast<std::uint64_t>(m_size) * 8; }
    std::uint64_t position() const { return m_pos; }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::uint64_t m_pos = 0;
};

// A canonical Huffman code as a lookup table indexed by the next maxLength bits of the stream.
class HuffmanTable {
public:
    bool build(const std::uint8_t* lengths, int count) {
        std::array<int, 16> perLength{};
        m_maxLength = 0;
        for (int i = 0; i < count; ++i) {
            ++perLength[lengths[i]];
            if (lengths[i] > m_maxLength)
                m_maxLength = lengths[i];
        }
        m_table.assign(std::size_t{1} << m_maxLength, InvalidEntry);
        if (m_maxLength == 0)
            return true; // no codes: valid only if never used
        int left = 1;
        for (int len = 1; len <= 15; ++len) {
            left = (left << 1) - perLength[len];
            if (left < 0)
                return false;
        }
        std::array<std::uint32_t, 16> next{};
        std::uint32_t code = 0;
        for (int len = 1; len <= 15; ++len) {
            code = (code + static_cast<std::uint32_t>(perLength[len - 1])) << 1;
            next[len] = code;
        }
        next[0] = 0;
        for (int sym = 0; sym < count; ++sym) {
            const int len = lengths[sym];
            if (len == 0)
                continue;
            const std::uint32_t c = next[len]++;
            std::uint32_t reversed = 0;
            for (int b = 0; b < len; ++b)
                reversed |= ((c >> b) & 1u) << (len - 1 - b);
            for (std::size_t i = reversed; i < m_table.size(); i += std::size_t{1} << len)
                m_table[i] = static_cast<std::uint32_t>(sym) | (static_cast<std::uint32_t>(len) << 16);
        }
        return true;
    }

    // The next symbol, or -1 for a code that does not exist.
    int decode(BitReader& bits) const {
        if (m_maxLength == 0)
            return -1;
        const std::uint32_t entry = m_table[bits.peek(m_maxLength)];
        if (entry == InvalidEntry)
            return -1;
        bits.skip(static_cast<int>(entry >> 16));
        return static_cast<int>(entry & 0xffff);
    }

private:
    std::vector<std::uint32_t> m_table;
    int m_maxLength = 0;
};

constexpr std::array<std::uint8_t, 29> LengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 19> CodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

int distanceExtraBits(int symbol) {
    return symbol < 4 ? 0 : symbol / 2 - 1;
}

bool skipCompressedData(BitReader& bits, const HuffmanTable& literals, const HuffmanTable& distances) {
    for (;;) {
        const int sym = literals.decode(bits);
        if (sym < 0 || sym > 285 || bits.overrun())
            return false;
        if (sym < 256)
            continue;
        if (sym == 256)
            return true;
        bits.skip(LengthExtraBits[static_cast<std::size_t>(sym - 257)]);
        const int dist = distances.decode(bits);
        if (dist < 0 || dist > 29)
            return false;
        bits.skip(distanceExtraBits(dist));
    }
}

bool readDynamicTables(BitReader& bits, HuffmanTable& literals, HuffmanTable& distances) {
    const int literalCount = static_cast<int>(bits.take(5)) + 257;
    const int distanceCount = static_cast<int>(bits.take(5)) + 1;
    const int codeLengthCount = static_cast<int>(bits.take(4)) + 4;
    if (literalCount > 286 || distanceCount > 30)
        return false;
    std::array<std::uint8_t, 19> codeLengthLengths{};
    for (int i = 0; i < codeLengthCount; ++i)
        codeLengthLengths[CodeLengthOrder[static_cast<std::size_t>(i)]] =
            static_cast<std::uint8_t>(bits.take(3));
    HuffmanTable codeLengths;
    if (!codeLengths.build(codeLengthLengths.data(), 19))
        return false;
    std::array<std::uint8_t, 286 + 30> lengths{};
    const int total = literalCount + distanceCount;
    int i = 0;
    while (i < total) {
        const int sym = codeLengths.decode(bits);
        if (sym < 0 || bits.overrun())
            return false;
        if (sym < 16) {
            lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(sym);
            continue;
        }
        int repeat = 0;
        std::uint8_t value = 0;
        if (sym == 16) {
            if (i == 0)
                return false;
            value = lengths[static_cast<std::size_t>(i - 1)];
            repeat = 3 + static_cast<int>(bits.take(2));
        } else if (sym == 17) {
            repeat = 3 + static_cast<int>(bits.take(3));
        } else {
            repeat = 11 + static_cast<int>(bits.take(7));
        }
        if (i + repeat > total)
            return false;
        while (repeat-- > 0)
            lengths[static_cast<std::size_t>(i++)] = value;
    }
    if (lengths[256] == 0)
        return false; // no end-of-block code
    return literals.build(lengths.data(), literalCount) &&
           distances.build(lengths.data() + literalCount, distanceCount);
}

struct FixedTables {
    HuffmanTable literals;
    HuffmanTable distances;
    FixedTables() {
        std::array<std::uint8_t, 288> lengths{};
        for (std::size_t i = 0; i < 288; ++i)
            lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        literals.build(lengths.data(), 288);
        std::array<std::uint8_t, 30> distanceLengths{};
        distanceLengths.fill(5);
        distances.build(distanceLengths.data(), 30);
    }
};

} // namespace

bool scanStream(const unsigned char* data, std::size_t size, StreamEnd& end) {
    static const FixedTables fixed;
    BitReader bits(data, size);
    HuffmanTable literals;
    HuffmanTable distances;
    for (;;) {
        const std::uint64_t headerBit = bits.position();
        const bool final = bits.take(1) != 0;
        const std::uint32_t type = bits.take(2);
        if (type == 0) {
            bits.alignToByte();
            const std::size_t at = static_cast<std::size_t>(bits.position() >> 3);
            if (at + 4 > size)
                return false;
            const std::uint32_t len = data[at] | (data[at + 1] << 8);
            const std::uint32_t nlen = data[at + 2] | (data[at + 3] << 8);
            if ((len ^ 0xffffu) != nlen || at + 4 + len > size)
                return false;
            bits.skip(static_cast<int>((4 + len) * 8));
        } else if (type == 1) {
            if (!skipCompressedData(bits, fixed.literals, fixed.distances))
                return false;
        } else if (type == 2) {
            if (!readDynamicTables(bits, literals, distances) ||
                !skipCompressedData(bits, literals, distances))
                return false;
        } else {
            return false;
        }
        if (bits.overrun())
            return false;
        if (final) {
            end.finalHeaderBit = headerBit;
            end.endBit = bits.position();
            return true;
        }
    }
}

bool makeJoinable(std::vector<unsigned char>& buffer, std::size_t& size) {
    StreamEnd end;
    if (!scanStream(buffer.data(), size, end))
        return false;
    buffer[static_cast<std::size_t>(end.finalHeaderBit >> 3)] &=
        static_cast<unsigned char>(~(1u << (end.finalHeaderBit & 7)));
    const std::size_t endByte = static_cast<std::size_t>(end.endBit >> 3);
    const unsigned used = static_cast<unsigned>(end.endBit & 7);
    // An empty stored block: three zero header bits, padding to the byte boundary, LEN 0, NLEN 0xffff.
    const std::size_t headerEnd = static_cast<std::size_t>((end.endBit + 3 + 7) >> 3);
    const std::size_t newSize = headerEnd + 4;
    if (buffer.size() < newSize)
        buffer.resize(newSize);
    if (used != 0)
        buffer[endByte] &= static_cast<unsigned char>((1u << used) - 1);
    for (std::size_t i = endByte + (used != 0 ? 1 : 0); i < headerEnd; ++i)
        buffer[i] = 0;
    buffer[headerEnd] = 0x00;
    buffer[headerEnd + 1] = 0x00;
    buffer[headerEnd + 2] = 0xff;
    buffer[headerEnd + 3] = 0xff;
    size = newSize;
    return true;
}

} // namespace deflatejoin
