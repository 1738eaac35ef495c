#pragma once

#include <cstddef>
#include <string_view>

// The numbers of an entry encrypted with AES-256 in the ZIP format's AES scheme.
namespace aesentry {

constexpr std::size_t SaltSize = 16;
constexpr std::size_t VerifierSize = 2;
constexpr std::size_t KeySize = 32;
constexpr std::size_t AuthCodeSize = 10;
constexpr unsigned KeyDerivationIterations = 1000;
// What precedes the encrypted bytes in the entry's data: the salt, then the password verifier.
constexpr std::size_t PrefixSize = SaltSize + VerifierSize;
// What encryption adds to the compressed size: the prefix before the data, the code after it.
constexpr std::size_t Overhead = PrefixSize + AuthCodeSize;

} // namespace aesentry

// The keys of one entry, derived from the password and the entry's salt: the AES key, the key of
// the authentication code and the two bytes that tell a wrong password. Wiped when destroyed.
class AesEntryKeys {
public:
    AesEntryKeys() = default;
    ~AesEntryKeys();
    AesEntryKeys(const AesEntryKeys&) = delete;
    AesEntryKeys& operator=(const AesEntryKeys&) = delete;

    // False when the system's key derivation fails.
    bool derive(std::string_view password, const unsigned char* salt);

    const unsigned char* aesKey() const { return m_material; }
    const unsigned char* hmacKey() const { return m_material + aesentry::KeySize; }
    const unsigned char* verifier() const { return m_material + 2 * aesentry::KeySize; }

private:
    unsigned char m_material[2 * aesentry::KeySize + aesentry::VerifierSize] = {};
};
