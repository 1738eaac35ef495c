#pragma once

#include "aescounterstream.h"
#include "aescrypto.h"
#include "aesentrykeys.h"

#include <cstddef>
#include <string_view>

// Decrypts one entry's encrypted bytes, given in pieces of any size, and checks them against the
// entry's authentication code.
class AesEntryDecryptor {
public:
    enum class Result {
        Ok,
        // The password verifier in the entry does not match the password. One wrong password in
        // 65536 matches it by chance; finish() then reports Damaged.
        WrongPassword,
        // The encrypted bytes or the authentication code were changed.
        Damaged,
        // The system's cryptography failed.
        CryptoFailure,
    };

    AesEntryDecryptor() = default;
    AesEntryDecryptor(const AesEntryDecryptor&) = delete;
    AesEntryDecryptor& operator=(const AesEntryDecryptor&) = delete;

    // Takes the entry's first aesentry::PrefixSize bytes (salt and password verifier). Ok, or
    // WrongPassword or CryptoFailure, after which nothing can be decrypted.
    Result start(std::string_view password, const unsigned char* prefix);

    // Decrypts `data` in place. The bytes are not yet proven genuine: that is finish()'s to say.
    bool decrypt(unsigned char* data, std::size_t size);
    // Compares the code of the bytes decrypted with the entry's last aesentry::AuthCodeSize
    // bytes: Ok or Damaged.
    Result finish(const unsigned char* authCode);

private:
    AesCounterStream m_stream;
    aescrypto::HmacSha1 m_mac;
    bool m_started = false;
};
