#include "engine/archivemarkbook.h"

#include "platform/pathbytes.h"
#include "platform/profilefile.h"

#include <QRandomGenerator>

#include <cstdio>

namespace {

const QByteArray RecordKey = QByteArrayLiteral("archive");

// "<device>:<inode> <size> <mtime ns>" of the file at `path`, empty when there is none.
QByteArray fingerprintOf(const std::filesystem::path& path) {
    const std::optional<platform::FileIdentity> file = platform::FileAttributes::identityOf(path);
    if (!file)
        return {};
    return QByteArray::number(file->device) + ':' + QByteArray::number(file->inode) + ' ' +
           QByteArray::number(file->size) + ' ' + QByteArray::number(static_cast<qlonglong>(file->mtimeNs));
}

std::uint64_t newEpoch() {
    std::uint64_t epoch = 0;
    while (epoch == 0)
        epoch = QRandomGenerator::system()->generate64();
    return epoch;
}

// A record's value: "<epoch in hex> <fingerprint> <archive path>"; the path's bytes come last,
// blanks and all.
struct Record {
    std::uint64_t epoch = 0;
    QByteArray fingerprint;
    std::filesystem::path archive;
};

bool parse(const QByteArray& value, Record& record) {
    const QList<QByteArray> parts = value.split(' ');
    if (parts.size() < 4)
        return false;
    bool ok = false;
    record.epoch = parts[0].toULongLong(&ok, 16);
    if (!ok || record.epoch == 0)
        return false;
    record.fingerprint = parts[1] + ' ' + parts[2] + ' ' + parts[3];
    const qsizetype pathStart = parts[0].size() + parts[1].size() + parts[2].size() + parts[3].size() + 4;
    if (pathStart >= value.size())
        return false;
    record.archive = pathFromBytes(std::string_view(value.constData() + pathStart, value.size() - pathStart));
    return true;
}

} // namespace

ArchiveMarkBook::ArchiveMarkBook(std::filesystem::path recordFile)
    : m_recordFile(std::move(recordFile)) {}

std::string ArchiveMarkBook::seriesKey(const std::filesystem::path& seriesName) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : pathBytes(seriesName)) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(h));
    return key;
}

platform::ArchiveMark ArchiveMarkBook::markFor(const std::filesystem::path& seriesName,
                                               const std::filesystem::path& archive) {
    platform::ArchiveMark mark{seriesKey(seriesName), 0};
    const platform::ProfileFile file(m_recordFile);
    Record record;
    if (parse(file.readString(QByteArray::fromStdString(mark.series), RecordKey, {}), record) &&
        (archive.empty() || archive == record.archive)) {
        const QByteArray found = fingerprintOf(record.archive);
        if (!found.isEmpty() && found == record.fingerprint) {
            mark.epoch = record.epoch;
            return mark;
        }
    }
    // The new epoch starts from the archive as it is now: asked again before anything is
    // written, the answer stays the same (where there is an archive).
    mark.epoch = newEpoch();
    store(mark, archive.empty() ? record.archive : archive);
    return mark;
}

void ArchiveMarkBook::archiveWritten(const platform::ArchiveMark& mark,
                                     const std::filesystem::path& archive) {
    store(mark, archive);
}

void ArchiveMarkBook::store(const platform::ArchiveMark& mark, const std::filesystem::path& archive) {
    char epoch[17];
    std::snprintf(epoch, sizeof epoch, "%016llx", static_cast<unsigned long long>(mark.epoch));
    const QByteArray fingerprint = fingerprintOf(archive);
    if (fingerprint.isEmpty())
        return; // no archive to compare with: every epoch begun meanwhile is as good as this one
    const std::string path = pathBytes(archive);
    try {
        platform::ProfileFile(m_recordFile)
            .writeString(QByteArray::fromStdString(mark.series), RecordKey,
                         QByteArray(epoch) + ' ' + fingerprint + ' ' + QByteArray::fromStdString(path));
    } catch (const platform::ProfileWriteError&) {
        // Unrecorded, the next run begins a new epoch and takes every file once more.
    }
}
