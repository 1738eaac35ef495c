#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The extra field of an AES-encrypted entry, whose headers name method 99 and keep the entry's
// real compression method here.
namespace aesextra {

constexpr std::uint16_t MethodAes = 99;
constexpr std::uint16_t ExtraAes = 0x9901;
// The "version needed to extract" of an encrypted entry.
constexpr std::uint16_t VersionNeeded = 51;
constexpr std::size_t DataSize = 7;
// Version 1 entries keep the CRC-32 of the plain bytes; version 2 entries have 0 there and
// rely on the authentication code alone.
constexpr std::uint16_t VendorVersionCrc = 1;
constexpr std::uint16_t VendorVersionNoCrc = 2;
constexpr std::uint8_t StrengthAes128 = 1;
constexpr std::uint8_t StrengthAes192 = 2;
constexpr std::uint8_t StrengthAes256 = 3;

struct Field {
    std::uint16_t vendorVersion = VendorVersionNoCrc;
    std::uint8_t strength = StrengthAes256;
    std::uint16_t compressionMethod = 0;
};

// The whole field (tag, size and data) for an entry written by us: version 2, AES-256.
std::string build(std::uint16_t compressionMethod);
std::string build(const Field& field);

// The field's data (without tag and size); nothing when it is not a field this scheme defines.
std::optional<Field> parse(const unsigned char* data, std::size_t size);
// The field in a block of extra fields (a header's); nothing when it has none or a malformed one.
std::optional<Field> find(std::string_view extraFields);

// Salt bytes of each strength; 0 for an unknown one.
std::size_t saltSize(std::uint8_t strength);

} // namespace aesextra
