#include "platform/profilefile.h"

#include "platform/profileapi.h"

namespace platform {

QByteArray ProfileFile::readString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& defaultValue) const {
    return QByteArray::fromStdString(
        profileapi::readString(m_path, section.toStdString(), key.toStdString(), defaultValue.toStdString()));
}

QList<QByteArray> ProfileFile::readKeys(const QByteArray& section) const {
    QList<QByteArray> names;
    for (const std::string& name : profileapi::readKeys(m_path, section.toStdString()))
        names.append(QByteArray::fromStdString(name));
    return names;
}

// The system reads and writes UTF-16 profile files itself, so no file is ever set aside here.
void ProfileFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    if (!profileapi::writeString(m_path, section.toStdString(), key.toStdString(), value.toStdString()))
        throw ProfileWriteError(m_path);
}

void ProfileFile::eraseSection(const QByteArray& section) {
    if (!profileapi::eraseSection(m_path, section.toStdString()))
        throw ProfileWriteError(m_path);
}

} // namespace platform
