#include "aesentrydecryptor.h"

namespace {

// Takes as long whichever byte differs.
bool sameBytes(const unsigned char* a, const unsigned char* b, std::size_t size) {
    unsigned char difference = 0;
    for (std::size_t i = 0; i < size; ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

AesEntryDecryptor::Result AesEntryDecryptor::start(std::string_view password, const unsigned char* prefix) {
    m_started = false;
    AesEntryKeys keys;
    if (!keys.derive(password, prefix))
        return Result::CryptoFailure;
    if (!sameBytes(keys.verifier(), prefix + aesentry::SaltSize, aesentry::VerifierSize))
        return Result::WrongPassword;
    if (!m_stream.start(keys.aesKey()) || !m_mac.setKey(keys.hmacKey(), aesentry::KeySize))
        return Result::CryptoFailure;
    m_started = true;
    return Result::Ok;
}

bool AesEntryDecryptor::decrypt(unsigned char* data, std::size_t size) {
    // The code covers the encrypted bytes, so it takes them before they change.
    return m_started && m_mac.update(data, size) && m_stream.apply(data, size);
}

AesEntryDecryptor::Result AesEntryDecryptor::finish(const unsigned char* authCode) {
    unsigned char mac[aescrypto::Sha1Size];
    const bool finished = m_started && m_mac.finish(mac);
    m_started = false;
    if (!finished)
        return Result::CryptoFailure;
    const bool genuine = sameBytes(mac, authCode, aesentry::AuthCodeSize);
    aescrypto::wipe(mac, sizeof mac);
    return genuine ? Result::Ok : Result::Damaged;
}
