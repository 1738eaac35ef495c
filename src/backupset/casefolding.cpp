#include "backupset/casefolding.h"

#include <QByteArray>
#include <QString>

#include <algorithm>

namespace {
char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string foldAscii(std::string_view bytes) {
    std::string out(bytes);
    std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    return out;
}
} // namespace

std::string CaseFolding::fold(std::string_view bytes) {
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return foldAscii(bytes);
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString text = QString::fromUtf8(raw);
    if (text.toUtf8() != raw)
        return foldAscii(bytes);
    return text.toCaseFolded().toStdString();
}
