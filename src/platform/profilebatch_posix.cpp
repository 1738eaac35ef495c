#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "platform/profiletext.h"
#include "platform/wholefile.h"

#include <optional>

namespace platform {

namespace {

// What an unreadable file that is text in a wide encoding, or binary, is renamed to.
const std::string setAsideSuffix = ".unreadable";

} // namespace

class ProfileBatch::State {
public:
    explicit State(const WholeFile::ReadResult& file)
        : foreign(file.status == WholeFile::ReadStatus::Ok &&
                  (ProfileText::isWideText(file.content) || ProfileText::isBinary(file.content)))
        , unreadable(foreign || file.status == WholeFile::ReadStatus::Failed)
        , original(foreign ? QByteArray() : file.content)
        , text(original) {}

    // Content that is not text this reader can read: it is set aside on the first write.
    bool foreign;
    bool unreadable;
    QByteArray original;
    ProfileText text;
    bool changed = false;
    std::filesystem::path setAside;
};

ProfileBatch::ProfileBatch(std::filesystem::path filePath)
    : m_path(std::move(filePath))
    , m_state(std::make_unique<State>(WholeFile::read(m_path))) {}

ProfileBatch::~ProfileBatch() = default;

QByteArray ProfileBatch::readString(const QByteArray& section, const QByteArray& key,
                                    const QByteArray& defaultValue) const {
    if (std::optional<QByteArray> value = m_state->text.value(section, key))
        return *value;
    // As the system's profile functions do, the default comes without the spaces at its end.
    qsizetype end = defaultValue.size();
    while (end > 0 && defaultValue[end - 1] == ' ')
        --end;
    return defaultValue.first(end);
}

QList<QByteArray> ProfileBatch::readKeys(const QByteArray& section) const {
    return m_state->text.keys(section);
}

QList<std::pair<QByteArray, QByteArray>>
ProfileBatch::readLaterSectionEntries(const QByteArray& section) const {
    return m_state->text.laterSectionEntries(section);
}

void ProfileBatch::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    m_state->text.setValue(section, key, value);
    m_state->changed = true;
}

void ProfileBatch::eraseSection(const QByteArray& section) {
    if (m_state->text.eraseSection(section))
        m_state->changed = true;
}

bool ProfileBatch::isUnreadable() const {
    return m_state->unreadable;
}

const std::filesystem::path& ProfileBatch::setAsidePath() const {
    return m_state->setAside;
}

void ProfileBatch::commit() {
    State& state = *m_state;
    if (!state.changed)
        return;
    const QByteArray content = state.text.toBytes();
    if (state.foreign) {
        // Content this reader cannot read is kept whole under another name: it may be the user's.
        const auto aside = WholeFile::replaceKeepingOld(m_path, content, setAsideSuffix);
        if (!aside)
            throw ProfileWriteError(m_path);
        state.setAside = *aside;
        state.foreign = state.unreadable = false;
    } else {
        // Any other file that exists but cannot be read is never replaced: its content would be lost.
        if (state.unreadable)
            throw ProfileWriteError(m_path);
        std::error_code error;
        if (content == state.original && std::filesystem::exists(m_path, error)) {
            state.changed = false;
            return;
        }
        if (!WholeFile::replace(m_path, content))
            throw ProfileWriteError(m_path);
    }
    state.changed = false;
    state.original = content;
}

} // namespace platform
