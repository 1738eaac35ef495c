#include "aesentrykeys.h"

#include "aescrypto.h"

AesEntryKeys::~AesEntryKeys() {
    aescrypto::wipe(m_material, sizeof m_material);
}

bool AesEntryKeys::derive(std::string_view password, const unsigned char* salt) {
    if (aescrypto::pbkdf2HmacSha1(password, salt, aesentry::SaltSize, aesentry::KeyDerivationIterations,
                                  m_material, sizeof m_material))
        return true;
    aescrypto::wipe(m_material, sizeof m_material);
    return false;
}
