#pragma once

#include <cstdint>

// The CRC-32 of two pieces laid end to end, from the CRC of each and the length of the second.
std::uint32_t crc32Combine(std::uint32_t crcFirst, std::uint32_t crcSecond, std::uint64_t secondLength);
