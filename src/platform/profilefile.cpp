#include "platform/profilefile.h"

#include "platform/pathbytes.h"

#include <limits>
#include <optional>

namespace platform {

namespace {

std::optional<int> parseDecimal(QByteArrayView text) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

// Up to 32 bits; values above 0x7FFFFFFF wrap to negative numbers as in a 32-bit register.
std::optional<int> parseHex(QByteArrayView digits) {
    if (digits.isEmpty())
        return std::nullopt;
    unsigned long long value = 0;
    for (const char c : digits) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + unsigned(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<int>(static_cast<std::uint32_t>(value));
}

std::filesystem::path fullPath(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full;
}

} // namespace

ProfileWriteError::ProfileWriteError(const std::filesystem::path& path)
    : std::runtime_error("Unable to write to " + pathBytes(fullPath(path)))
    , m_path(fullPath(path)) {}

ProfileWriteError::ProfileWriteError(const QString& path)
    : ProfileWriteError(ProfileFile::pathFromText(path)) {}

ProfileFile::ProfileFile(std::filesystem::path filePath)
    : m_path(std::move(filePath)) {}

ProfileFile::ProfileFile(const QString& filePath)
    : m_path(pathFromText(filePath)) {}

QString ProfileFile::filePath() const {
    return textOfPath(m_path);
}

std::filesystem::path ProfileFile::pathFromText(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

QString ProfileFile::textOfPath(const std::filesystem::path& path) {
    return QString::fromStdString(pathBytes(path));
}

std::optional<int> ProfileFile::parseInteger(const QByteArray& text) {
    QByteArrayView view(text);
    if (view.startsWith('$'))
        return parseHex(view.sliced(1));
    if (view.startsWith("0x") || view.startsWith("0X"))
        return parseHex(view.sliced(2));
    return parseDecimal(view);
}

int ProfileFile::readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const {
    return parseInteger(readString(section, key, QByteArray())).value_or(defaultValue);
}

bool ProfileFile::readBool(const QByteArray& section, const QByteArray& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeInteger(const QByteArray& section, const QByteArray& key, int value) {
    writeString(section, key, QByteArray::number(value));
}

void ProfileFile::writeBool(const QByteArray& section, const QByteArray& key, bool value) {
    writeString(section, key, value ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
}

} // namespace platform
