#pragma once

#include "aescounterstream.h"
#include "aescrypto.h"
#include "aesentrykeys.h"

#include <cstddef>
#include <string_view>

// Encrypts one entry's compressed bytes, given in pieces of any size. The entry's data is then
// prefix() (salt and password verifier), the encrypted bytes, and the code finish() gives.
class AesEntryEncryptor {
public:
    AesEntryEncryptor() = default;
    ~AesEntryEncryptor();
    AesEntryEncryptor(const AesEntryEncryptor&) = delete;
    AesEntryEncryptor& operator=(const AesEntryEncryptor&) = delete;

    // Derives the entry's keys from the password and a fresh random salt. False when the system's
    // random source or cryptography fails; the entry cannot be encrypted then.
    bool start(std::string_view password);
    // The same with a given salt (aesentry::SaltSize bytes), for known results.
    bool start(std::string_view password, const unsigned char* salt);

    const unsigned char* prefix() const { return m_prefix; } // aesentry::PrefixSize bytes

    // Encrypts `data` in place.
    bool encrypt(unsigned char* data, std::size_t size);
    // The authentication code of all encrypted bytes (aesentry::AuthCodeSize bytes).
    bool finish(unsigned char* authCode);

private:
    unsigned char m_prefix[aesentry::PrefixSize] = {};
    AesCounterStream m_stream;
    aescrypto::HmacSha1 m_mac;
    bool m_started = false;
};
