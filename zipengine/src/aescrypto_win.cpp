#include "aescrypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <climits>

namespace aescrypto {
namespace {

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

// An algorithm provider, closed when done.
class Provider {
public:
    Provider(const wchar_t* algorithm, ULONG flags) {
        if (!succeeded(BCryptOpenAlgorithmProvider(&m_handle, algorithm, nullptr, flags)))
            m_handle = nullptr;
    }
    ~Provider() {
        if (m_handle)
            BCryptCloseAlgorithmProvider(m_handle, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE handle() const { return m_handle; }

private:
    BCRYPT_ALG_HANDLE m_handle = nullptr;
};

bool fitsUlong(std::size_t size) {
    return size <= ULONG_MAX;
}

} // namespace

bool randomBytes(unsigned char* out, std::size_t size) {
    while (size > 0) {
        const ULONG piece = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
        if (!succeeded(BCryptGenRandom(nullptr, out, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        out += piece;
        size -= piece;
    }
    return true;
}

bool pbkdf2HmacSha1(std::string_view password, const unsigned char* salt, std::size_t saltSize,
                    unsigned iterations, unsigned char* out, std::size_t outSize) {
    if (!fitsUlong(password.size()) || !fitsUlong(saltSize) || !fitsUlong(outSize))
        return false;
    Provider sha1(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    if (!sha1.handle())
        return false;
    auto* passwordBytes = reinterpret_cast<PUCHAR>(const_cast<char*>(password.data()));
    return succeeded(BCryptDeriveKeyPBKDF2(sha1.handle(), passwordBytes, static_cast<ULONG>(password.size()),
                                           const_cast<PUCHAR>(salt), static_cast<ULONG>(saltSize), iterations,
                                           out, static_cast<ULONG>(outSize), 0));
}

void wipe(void* data, std::size_t size) {
    SecureZeroMemory(data, size);
}

struct AesBlockCipher::State {
    Provider aes{BCRYPT_AES_ALGORITHM, 0};
    BCRYPT_KEY_HANDLE key = nullptr;
    void dropKey() {
        if (key)
            BCryptDestroyKey(key);
        key = nullptr;
    }
    ~State() { dropKey(); }
};

AesBlockCipher::AesBlockCipher()
    : m_state(std::make_unique<State>()) {}
AesBlockCipher::~AesBlockCipher() = default;

bool AesBlockCipher::setKey(const unsigned char* key) {
    m_state->dropKey();
    BCRYPT_ALG_HANDLE aes = m_state->aes.handle();
    if (!aes)
        return false;
    auto* mode = reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB));
    if (!succeeded(BCryptSetProperty(aes, BCRYPT_CHAINING_MODE, mode, sizeof(BCRYPT_CHAIN_MODE_ECB), 0)))
        return false;
    if (!succeeded(BCryptGenerateSymmetricKey(aes, &m_state->key, nullptr, 0, const_cast<PUCHAR>(key),
                                              static_cast<ULONG>(Aes256KeySize), 0))) {
        m_state->key = nullptr;
        return false;
    }
    return true;
}

bool AesBlockCipher::encryptBlocks(const unsigned char* in, unsigned char* out, std::size_t size) {
    if (!m_state->key || size % AesBlockSize != 0)
        return false;
    constexpr std::size_t largestPiece = ULONG_MAX & ~ULONG(0xf);
    while (size > 0) {
        const ULONG piece = static_cast<ULONG>(size > largestPiece ? largestPiece : size);
        ULONG written = 0;
        if (!succeeded(BCryptEncrypt(m_state->key, const_cast<PUCHAR>(in), piece, nullptr, nullptr, 0, out,
                                     piece, &written, 0)) ||
            written != piece)
            return false;
        in += piece;
        out += piece;
        size -= piece;
    }
    return true;
}

struct HmacSha1::State {
    Provider hmac{BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG};
    BCRYPT_HASH_HANDLE hash = nullptr;
    void dropHash() {
        if (hash)
            BCryptDestroyHash(hash);
        hash = nullptr;
    }
    ~State() { dropHash(); }
};

HmacSha1::HmacSha1()
    : m_state(std::make_unique<State>()) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::setKey(const unsigned char* key, std::size_t size) {
    m_state->dropHash();
    if (!m_state->hmac.handle() || !fitsUlong(size))
        return false;
    if (!succeeded(BCryptCreateHash(m_state->hmac.handle(), &m_state->hash, nullptr, 0,
                                    const_cast<PUCHAR>(key), static_cast<ULONG>(size), 0))) {
        m_state->hash = nullptr;
        return false;
    }
    return true;
}

bool HmacSha1::update(const unsigned char* data, std::size_t size) {
    if (!m_state->hash)
        return false;
    while (size > 0) {
        const ULONG piece = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
        if (!succeeded(BCryptHashData(m_state->hash, const_cast<PUCHAR>(data), piece, 0)))
            return false;
        data += piece;
        size -= piece;
    }
    return true;
}

bool HmacSha1::finish(unsigned char* mac) {
    if (!m_state->hash)
        return false;
    const bool finished = succeeded(BCryptFinishHash(m_state->hash, mac, static_cast<ULONG>(Sha1Size), 0));
    m_state->dropHash();
    return finished;
}

} // namespace aescrypto
