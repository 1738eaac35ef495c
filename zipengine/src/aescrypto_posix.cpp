#include "aescrypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>

namespace aescrypto {

bool randomBytes(unsigned char* out, std::size_t size) {
    while (size > 0) {
        const int piece = size > INT_MAX ? INT_MAX : static_cast<int>(size);
        if (RAND_bytes(out, piece) != 1)
            return false;
        out += piece;
        size -= static_cast<std::size_t>(piece);
    }
    return true;
}

bool pbkdf2HmacSha1(std::string_view password, const unsigned char* salt, std::size_t saltSize,
                    unsigned iterations, unsigned char* out, std::size_t outSize) {
    if (password.size() > INT_MAX || saltSize > INT_MAX || outSize > INT_MAX || iterations > INT_MAX)
        return false;
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                             static_cast<int>(saltSize), static_cast<int>(iterations), EVP_sha1(),
                             static_cast<int>(outSize), out) == 1;
}

void wipe(void* data, std::size_t size) {
    OPENSSL_cleanse(data, size);
}

struct AesBlockCipher::State {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    ~State() { EVP_CIPHER_CTX_free(context); } // also clears the key schedule
};

AesBlockCipher::AesBlockCipher()
    : m_state(std::make_unique<State>()) {}
AesBlockCipher::~AesBlockCipher() = default;

bool AesBlockCipher::setKey(const unsigned char* key) {
    if (!m_state->context)
        return false;
    if (EVP_EncryptInit_ex(m_state->context, EVP_aes_256_ecb(), nullptr, key, nullptr) != 1)
        return false;
    return EVP_CIPHER_CTX_set_padding(m_state->context, 0) == 1;
}

bool AesBlockCipher::encryptBlocks(const unsigned char* in, unsigned char* out, std::size_t size) {
    if (size % AesBlockSize != 0)
        return false;
    while (size > 0) {
        const int piece = size > (INT_MAX & ~0xf) ? (INT_MAX & ~0xf) : static_cast<int>(size);
        int written = 0;
        if (EVP_EncryptUpdate(m_state->context, out, &written, in, piece) != 1 || written != piece)
            return false;
        in += piece;
        out += piece;
        size -= static_cast<std::size_t>(piece);
    }
    return true;
}

struct HmacSha1::State {
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    EVP_MAC_CTX* context = mac ? EVP_MAC_CTX_new(mac) : nullptr;
    ~State() {
        EVP_MAC_CTX_free(context);
        EVP_MAC_free(mac);
    }
};

HmacSha1::HmacSha1()
    : m_state(std::make_unique<State>()) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::setKey(const unsigned char* key, std::size_t size) {
    if (!m_state->context)
        return false;
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    return EVP_MAC_init(m_state->context, key, size, params) == 1;
}

bool HmacSha1::update(const unsigned char* data, std::size_t size) {
    return EVP_MAC_update(m_state->context, data, size) == 1;
}

bool HmacSha1::finish(unsigned char* mac) {
    std::size_t written = 0;
    return EVP_MAC_final(m_state->context, mac, &written, Sha1Size) == 1 && written == Sha1Size;
}

} // namespace aescrypto
