#include "aesentryencryptor.h"

#include <cstring>

AesEntryEncryptor::~AesEntryEncryptor() {
    aescrypto::wipe(m_prefix, sizeof m_prefix);
}

bool AesEntryEncryptor::start(std::string_view password) {
    unsigned char salt[aesentry::SaltSize];
    m_started = false;
    return aescrypto::randomBytes(salt, sizeof salt) && start(password, salt);
}

bool AesEntryEncryptor::start(std::string_view password, const unsigned char* salt) {
    AesEntryKeys keys;
    m_started = keys.derive(password, salt) && m_stream.start(keys.aesKey()) &&
                m_mac.setKey(keys.hmacKey(), aesentry::KeySize);
    std::memcpy(m_prefix, salt, aesentry::SaltSize);
    std::memcpy(m_prefix + aesentry::SaltSize, keys.verifier(), aesentry::VerifierSize);
    return m_started;
}

bool AesEntryEncryptor::encrypt(unsigned char* data, std::size_t size) {
    return m_started && m_stream.apply(data, size) && m_mac.update(data, size);
}

bool AesEntryEncryptor::finish(unsigned char* authCode) {
    unsigned char mac[aescrypto::Sha1Size];
    const bool finished = m_started && m_mac.finish(mac);
    m_started = false;
    if (finished)
        std::memcpy(authCode, mac, aesentry::AuthCodeSize);
    return finished;
}
