#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "platform/profiletext.h"
#include "platform/wholefile.h"

#include <QFile>

namespace platform {

class ProfileBatch::State {
public:
    explicit State(const WholeFile::ReadResult& file)
        : readable(file.status != WholeFile::ReadStatus::Failed)
        , original(file.content)
        , text(file.content) {}

    bool readable;
    QByteArray original;
    ProfileText text;
    bool changed = false;
};

namespace {

std::filesystem::path nativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

ProfileBatch::ProfileBatch(QString filePath)
    : m_filePath(std::move(filePath))
    , m_state(std::make_unique<State>(WholeFile::read(nativePath(m_filePath)))) {}

ProfileBatch::~ProfileBatch() = default;

QByteArray ProfileBatch::readString(const QByteArray& section, const QByteArray& key,
                                    const QByteArray& defaultValue) const {
    return m_state->text.value(section, key).value_or(defaultValue);
}

QList<QByteArray> ProfileBatch::readKeys(const QByteArray& section) const {
    return m_state->text.keys(section);
}

void ProfileBatch::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    m_state->text.setValue(section, key, value);
    m_state->changed = true;
}

void ProfileBatch::eraseSection(const QByteArray& section) {
    if (m_state->text.eraseSection(section))
        m_state->changed = true;
}

void ProfileBatch::commit() {
    if (!m_state->changed)
        return;
    // A file that exists but cannot be read is never replaced: its content would be lost.
    if (!m_state->readable)
        throw ProfileWriteError(m_filePath);
    const QByteArray content = m_state->text.toBytes();
    m_state->changed = false;
    if (content == m_state->original && QFile::exists(m_filePath))
        return;
    if (!WholeFile::replace(nativePath(m_filePath), content))
        throw ProfileWriteError(m_filePath);
    m_state->original = content;
}

} // namespace platform
