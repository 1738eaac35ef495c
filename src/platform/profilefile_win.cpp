#include "platform/profilefile.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {

// The profile functions take the path in the ANSI code page.
QByteArray ansiPath(const QString& path) {
    return path.toLocal8Bit();
}

} // namespace

ProfileFile::ProfileFile(QString filePath)
    : m_filePath(std::move(filePath)) {}

QByteArray ProfileFile::readString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& defaultValue) const {
    char buffer[2048];
    const DWORD length =
        GetPrivateProfileStringA(section.constData(), key.constData(), defaultValue.constData(), buffer,
                                 DWORD(sizeof buffer), ansiPath(m_filePath).constData());
    return QByteArray(buffer, qsizetype(length));
}

QList<QByteArray> ProfileFile::readKeys(const QByteArray& section) const {
    // With no key name the call returns every key of the section, each ended by a NUL.
    std::vector<char> buffer(32768);
    const DWORD length = GetPrivateProfileStringA(section.constData(), nullptr, "", buffer.data(),
                                                  DWORD(buffer.size()), ansiPath(m_filePath).constData());
    QList<QByteArray> names;
    for (const QByteArray& name : QByteArray(buffer.data(), qsizetype(length)).split('\0'))
        if (!name.isEmpty())
            names.append(name);
    return names;
}

void ProfileFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    qsizetype end = 0;
    while (end < value.size() && value[end] != '\n' && value[end] != '\r' && value[end] != '\0')
        ++end;
    const QByteArray stored = value.first(end);
    if (!WritePrivateProfileStringA(section.constData(), key.constData(), stored.constData(),
                                    ansiPath(m_filePath).constData()))
        throw ProfileWriteError(m_filePath);
}

void ProfileFile::eraseSection(const QByteArray& section) {
    if (!WritePrivateProfileStringA(section.constData(), nullptr, nullptr, ansiPath(m_filePath).constData()))
        throw ProfileWriteError(m_filePath);
}

} // namespace platform
