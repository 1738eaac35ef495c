#include "platform/profilebatch.h"
#include "platform/profilefile.h"

namespace platform {

ProfileBatch::ProfileBatch(const QString& filePath)
    : ProfileBatch(ProfileFile::pathFromText(filePath)) {}

QString ProfileBatch::filePath() const {
    return ProfileFile::textOfPath(m_path);
}

int ProfileBatch::readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const {
    return ProfileFile::parseInteger(readString(section, key, QByteArray())).value_or(defaultValue);
}

bool ProfileBatch::readBool(const QByteArray& section, const QByteArray& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileBatch::writeInteger(const QByteArray& section, const QByteArray& key, int value) {
    writeString(section, key, QByteArray::number(value));
}

void ProfileBatch::writeBool(const QByteArray& section, const QByteArray& key, bool value) {
    writeString(section, key, value ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
}

} // namespace platform
