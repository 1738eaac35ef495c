#include "platform/profilebatch.h"
#include "platform/profilefile.h"

#include <functional>
#include <vector>

namespace platform {

// The system's profile functions have no batch: reads go to the file, writes are kept
// and replayed in order by commit().
class ProfileBatch::State {
public:
    std::vector<std::function<void(ProfileFile&)>> writes;
};

ProfileBatch::ProfileBatch(QString filePath)
    : m_filePath(std::move(filePath))
    , m_state(std::make_unique<State>()) {}

ProfileBatch::~ProfileBatch() = default;

QByteArray ProfileBatch::readString(const QByteArray& section, const QByteArray& key,
                                    const QByteArray& defaultValue) const {
    return ProfileFile(m_filePath).readString(section, key, defaultValue);
}

QList<QByteArray> ProfileBatch::readKeys(const QByteArray& section) const {
    return ProfileFile(m_filePath).readKeys(section);
}

void ProfileBatch::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    m_state->writes.push_back([=](ProfileFile& file) { file.writeString(section, key, value); });
}

void ProfileBatch::eraseSection(const QByteArray& section) {
    m_state->writes.push_back([=](ProfileFile& file) { file.eraseSection(section); });
}

void ProfileBatch::commit() {
    ProfileFile file(m_filePath);
    for (const auto& write : m_state->writes)
        write(file);
    m_state->writes.clear();
}

} // namespace platform
