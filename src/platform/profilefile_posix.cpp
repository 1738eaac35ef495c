#include "platform/profilefile.h"
#include "platform/profiletext.h"
#include "platform/wholefile.h"

#include <QFile>

namespace platform {

namespace {

std::filesystem::path nativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

ProfileFile::ProfileFile(QString filePath)
    : m_filePath(std::move(filePath)) {}

QByteArray ProfileFile::readString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& defaultValue) const {
    const WholeFile::ReadResult file = WholeFile::read(nativePath(m_filePath));
    if (file.status != WholeFile::ReadStatus::Ok)
        return defaultValue;
    return ProfileText(file.content).value(section, key).value_or(defaultValue);
}

QList<QByteArray> ProfileFile::readKeys(const QByteArray& section) const {
    const WholeFile::ReadResult file = WholeFile::read(nativePath(m_filePath));
    if (file.status != WholeFile::ReadStatus::Ok)
        return {};
    return ProfileText(file.content).keys(section);
}

void ProfileFile::edit(const std::function<bool(ProfileText&)>& change) {
    const std::filesystem::path path = nativePath(m_filePath);
    const WholeFile::ReadResult file = WholeFile::read(path);
    // A file that exists but cannot be read is never replaced: its content would be lost.
    if (file.status == WholeFile::ReadStatus::Failed)
        throw ProfileWriteError(m_filePath);
    ProfileText text(file.content);
    if (!change(text))
        return;
    if (!WholeFile::replace(path, text.toBytes()))
        throw ProfileWriteError(m_filePath);
}

void ProfileFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    edit([&](ProfileText& text) {
        text.setValue(section, key, value);
        return true;
    });
}

void ProfileFile::eraseSection(const QByteArray& section) {
    edit([&](ProfileText& text) { return text.eraseSection(section); });
}

} // namespace platform
