#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// The primitives the encrypted entries are built on, from the system's own cryptography
// (libcrypto here, CNG on Windows); one implementation per system, chosen by CMake.
namespace aescrypto {

// Fills `out` from the system's cryptographic random source; false when it cannot.
bool randomBytes(unsigned char* out, std::size_t size);

// PBKDF2 with HMAC-SHA1; false when the system refuses (it never does for sane arguments).
bool pbkdf2HmacSha1(std::string_view password, const unsigned char* salt, std::size_t saltSize,
                    unsigned iterations, unsigned char* out, std::size_t outSize);

constexpr std::size_t AesBlockSize = 16;
constexpr std::size_t Aes256KeySize = 32;
constexpr std::size_t Sha1Size = 20;

// AES-256 applied block by block (no chaining): the counter blocks of a counter-mode stream go in,
// their key stream comes out.
class AesBlockCipher {
public:
    AesBlockCipher();
    ~AesBlockCipher();
    AesBlockCipher(const AesBlockCipher&) = delete;
    AesBlockCipher& operator=(const AesBlockCipher&) = delete;

    bool setKey(const unsigned char* key); // Aes256KeySize bytes
    // `size` is a multiple of AesBlockSize; `in` and `out` may be the same buffer.
    bool encryptBlocks(const unsigned char* in, unsigned char* out, std::size_t size);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// HMAC-SHA1 over data given in pieces.
class HmacSha1 {
public:
    HmacSha1();
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    bool setKey(const unsigned char* key, std::size_t size);
    bool update(const unsigned char* data, std::size_t size);
    bool finish(unsigned char* mac); // Sha1Size bytes

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// Overwrites secret bytes in a way the compiler does not drop.
void wipe(void* data, std::size_t size);

} // namespace aescrypto
