#include "housekeeping/filemask.h"

#include <QList>
#include <QString>

#include <algorithm>

namespace {

std::u32string foldedText(const QString& text) {
    const QList<uint> codePoints = text.toCaseFolded().toUcs4();
    return std::u32string(codePoints.begin(), codePoints.end());
}

// Characters of a name, case folded: code points for UTF-8, bytes otherwise.
std::u32string foldedCharacters(std::string_view bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString text = QString::fromUtf8(raw);
    if (text.toUtf8() == raw)
        return foldedText(text);
    std::u32string result;
    result.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        result.push_back(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
    }
    return result;
}

// A path's native name: bytes where the system keeps bytes, UTF-16 where it keeps that.
std::u32string foldedName(const std::string& native) {
    return foldedCharacters(native);
}
[[maybe_unused]] std::u32string foldedName(const std::wstring& native) {
    return foldedText(QString::fromStdWString(native));
}

} // namespace

FileMask::FileMask(std::string_view pattern)
    : m_pattern(foldedCharacters(pattern)) {}

bool FileMask::matches(const std::filesystem::path& name) const {
    const std::u32string text = foldedName(name.native());
    // Greedy match with one point to go back to: the last "*" seen.
    std::size_t p = 0, t = 0;
    std::size_t starP = std::u32string::npos, starT = 0;
    while (t < text.size()) {
        if (p < m_pattern.size() && m_pattern[p] == U'*') {
            starP = p++;
            starT = t;
        } else if (p < m_pattern.size() && (m_pattern[p] == U'?' || m_pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    return std::all_of(m_pattern.begin() + static_cast<std::ptrdiff_t>(p), m_pattern.end(),
                       [](char32_t c) { return c == U'*'; });
}
