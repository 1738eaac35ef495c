#include "secretbytes.h"

#include <cstring>
#include <utility>

namespace platform {

SecretBytes::SecretBytes(QByteArrayView bytes)
    : m_size(bytes.size()) {
    if (m_size == 0)
        return;
    m_data = std::make_unique<char[]>(static_cast<std::size_t>(m_size));
    std::memcpy(m_data.get(), bytes.data(), static_cast<std::size_t>(m_size));
}

SecretBytes SecretBytes::fromText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    SecretBytes secret(utf8);
    wipe(utf8);
    return secret;
}

SecretBytes::~SecretBytes() {
    clear();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : m_data(std::move(other.m_data))
    , m_size(std::exchange(other.m_size, 0)) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        clear();
        m_data = std::move(other.m_data);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

bool SecretBytes::operator==(const SecretBytes& other) const {
    if (m_size != other.m_size)
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < m_size; ++i)
        difference |= static_cast<unsigned char>(m_data[i] ^ other.m_data[i]);
    return difference == 0;
}

void SecretBytes::clear() {
    if (m_data)
        wipe(m_data.get(), static_cast<std::size_t>(m_size));
    m_data.reset();
    m_size = 0;
}

void SecretBytes::wipe(void* data, std::size_t size) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = 0;
}

void SecretBytes::wipe(QByteArray& bytes) {
    // Only this copy: one shared with another QByteArray is left to its owner.
    if (!bytes.isDetached()) {
        bytes.clear();
        return;
    }
    wipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.clear();
}

} // namespace platform
