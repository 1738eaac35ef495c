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
    std::filesystem::path setAside; // stays empty: the system reads wide profile files itself
};

ProfileBatch::ProfileBatch(std::filesystem::path filePath)
    : m_path(std::move(filePath))
    , m_state(std::make_unique<State>()) {}

ProfileBatch::~ProfileBatch() = default;

QByteArray ProfileBatch::readString(const QByteArray& section, const QByteArray& key,
                                    const QByteArray& defaultValue) const {
    return ProfileFile(m_path).readString(section, key, defaultValue);
}

QList<QByteArray> ProfileBatch::readKeys(const QByteArray& section) const {
    return ProfileFile(m_path).readKeys(section);
}

QList<std::pair<QByteArray, QByteArray>> ProfileBatch::readLaterSectionEntries(const QByteArray&) const {
    // The system's profile functions show the first section of a name only.
    return {};
}

void ProfileBatch::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    m_state->writes.push_back([=](ProfileFile& file) { file.writeString(section, key, value); });
}

void ProfileBatch::eraseSection(const QByteArray& section) {
    m_state->writes.push_back([=](ProfileFile& file) { file.eraseSection(section); });
}

bool ProfileBatch::isUnreadable() const {
    return false;
}

const std::filesystem::path& ProfileBatch::setAsidePath() const {
    return m_state->setAside;
}

void ProfileBatch::commit() {
    ProfileFile file(m_path);
    for (const auto& write : m_state->writes)
        write(file);
    m_state->writes.clear();
}

} // namespace platform
