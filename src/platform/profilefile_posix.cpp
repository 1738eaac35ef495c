#include "platform/profilebatch.h"
#include "platform/profilefile.h"

namespace platform {

// Every single read or write is a batch of its own: the file is read, and for a write
// replaced, each time.
ProfileFile::ProfileFile(QString filePath)
    : m_filePath(std::move(filePath)) {}

QByteArray ProfileFile::readString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& defaultValue) const {
    return ProfileBatch(m_filePath).readString(section, key, defaultValue);
}

QList<QByteArray> ProfileFile::readKeys(const QByteArray& section) const {
    return ProfileBatch(m_filePath).readKeys(section);
}

void ProfileFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    ProfileBatch batch(m_filePath);
    batch.writeString(section, key, value);
    batch.commit();
}

void ProfileFile::eraseSection(const QByteArray& section) {
    ProfileBatch batch(m_filePath);
    batch.eraseSection(section);
    batch.commit();
}

} // namespace platform
