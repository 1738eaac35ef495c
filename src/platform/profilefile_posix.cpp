#include "platform/profilebatch.h"
#include "platform/profilefile.h"

namespace platform {

// Every single read or write is a batch of its own: the file is read, and for a write
// replaced, each time.

QByteArray ProfileFile::readString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& defaultValue) const {
    return ProfileBatch(m_path).readString(section, key, defaultValue);
}

QList<QByteArray> ProfileFile::readKeys(const QByteArray& section) const {
    return ProfileBatch(m_path).readKeys(section);
}

void ProfileFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    m_setAsidePath.clear();
    ProfileBatch batch(m_path);
    batch.writeString(section, key, value);
    batch.commit();
    m_setAsidePath = batch.setAsidePath();
}

void ProfileFile::eraseSection(const QByteArray& section) {
    m_setAsidePath.clear();
    ProfileBatch batch(m_path);
    batch.eraseSection(section);
    batch.commit();
    m_setAsidePath = batch.setAsidePath();
}

} // namespace platform
