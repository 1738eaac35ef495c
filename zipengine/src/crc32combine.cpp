#include "crc32combine.h"

#include <array>

namespace {

constexpr std::uint32_t Polynomial = 0xedb88320u; // reflected CRC-32 polynomial

// a * b modulo the polynomial, in the reflected bit order CRC-32 uses (bit 31 is x^0).
std::uint32_t multiplyModulo(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
        if (a & bit)
            product ^= b;
        b = (b & 1u) ? (b >> 1) ^ Polynomial : b >> 1;
    }
    return product;
}

// x^(2^k) modulo the polynomial for k = 0..63.
std::array<std::uint32_t, 64> makePowers() {
    std::array<std::uint32_t, 64> powers{};
    std::uint32_t p = 1u << 30; // x^1
    for (auto& power : powers) {
        power = p;
        p = multiplyModulo(p, p);
    }
    return powers;
}

} // namespace

std::uint32_t crc32Combine(std::uint32_t crcFirst, std::uint32_t crcSecond, std::uint64_t secondLength) {
    static const std::array<std::uint32_t, 64> powers = makePowers();
    // Shifting the first CRC over the second piece multiplies it by x^(8 * length).
    std::uint32_t shift = 1u << 31; // x^0
    std::uint64_t bits = secondLength * 8;
    for (std::size_t k = 0; bits != 0 && k < powers.size(); ++k, bits >>= 1) {
        if (bits & 1u)
            shift = multiplyModulo(powers[k], shift);
    }
    return multiplyModulo(shift, crcFirst) ^ crcSecond;
}
