#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <string_view>

namespace platform {

// A password or key in memory: bytes that are wiped when they are dropped, that never become a
// QString by themselves and have no debug output. Copies are made on purpose only (clone()).
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(QByteArrayView bytes);
    // A password as the user typed it, as UTF-8; the converted text is wiped after the copy.
    static SecretBytes fromText(const QString& text);
    ~SecretBytes();

    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes clone() const { return SecretBytes(view()); }

    const char* data() const { return m_data.get(); }
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QByteArrayView view() const { return QByteArrayView(m_data.get(), m_size); }
    // As the engine takes a password.
    std::string_view stdView() const {
        return std::string_view(m_data.get(), static_cast<std::size_t>(m_size));
    }

    // Compares in a time that does not depend on where the bytes differ.
    bool operator==(const SecretBytes& other) const;
    bool operator!=(const SecretBytes& other) const { return !(*this == other); }

    void clear();

    // Overwrites memory in a way the compiler does not drop; for the copies a library hands out.
    static void wipe(void* data, std::size_t size);
    static void wipe(QByteArray& bytes);

private:
    std::unique_ptr<char[]> m_data;
    qsizetype m_size = 0;
};

} // namespace platform
