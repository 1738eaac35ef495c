#include "platform/profilefile.h"

#include "platform/growingread.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::string toAnsi(const std::wstring& text, bool* lossy) {
    BOOL defaultUsed = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), int(text.size()),
                                         nullptr, 0, nullptr, &defaultUsed);
    std::string result(std::size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), int(text.size()), result.data(), size,
                        nullptr, &defaultUsed);
    *lossy = defaultUsed != FALSE;
    return result;
}

// The profile functions take the path in the ANSI code page. A folder whose name that code
// page cannot spell is reached by its short (8.3) name, which is plain ASCII.
std::string ansiPath(const std::filesystem::path& path) {
    bool lossy = false;
    const std::string direct = toAnsi(path.native(), &lossy);
    if (!lossy)
        return direct;
    const std::wstring folder = path.parent_path().native();
    const DWORD size = GetShortPathNameW(folder.c_str(), nullptr, 0);
    if (size == 0)
        return direct;
    std::wstring shortFolder(size, L'\0');
    shortFolder.resize(GetShortPathNameW(folder.c_str(), shortFolder.data(), size));
    return toAnsi(shortFolder + L"\\" + path.filename().native(), &lossy);
}

} // namespace

QByteArray ProfileFile::readString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& defaultValue) const {
    char buffer[2048];
    const DWORD length =
        GetPrivateProfileStringA(section.constData(), key.constData(), defaultValue.constData(), buffer,
                                 DWORD(sizeof buffer), ansiPath(m_path).c_str());
    return QByteArray(buffer, qsizetype(length));
}

QList<QByteArray> ProfileFile::readKeys(const QByteArray& section) const {
    // With no key name the call returns every key of the section, each ended by a NUL.
    const std::string path = ansiPath(m_path);
    const QByteArray list = readUntilWhole(
        [&](char* buffer, std::size_t size) {
            return std::size_t(GetPrivateProfileStringA(section.constData(), nullptr, "", buffer, DWORD(size),
                                                        path.c_str()));
        },
        2);
    QList<QByteArray> names;
    for (const QByteArray& name : list.split('\0'))
        if (!name.isEmpty())
            names.append(name);
    return names;
}

// The system reads and writes UTF-16 profile files itself, so no file is ever set aside here.
void ProfileFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    qsizetype end = 0;
    while (end < value.size() && value[end] != '\n' && value[end] != '\r' && value[end] != '\0')
        ++end;
    const QByteArray stored = value.first(end);
    if (!WritePrivateProfileStringA(section.constData(), key.constData(), stored.constData(),
                                    ansiPath(m_path).c_str()))
        throw ProfileWriteError(m_path);
}

void ProfileFile::eraseSection(const QByteArray& section) {
    if (!WritePrivateProfileStringA(section.constData(), nullptr, nullptr, ansiPath(m_path).c_str()))
        throw ProfileWriteError(m_path);
}

} // namespace platform
