#include "engine/archivecheckrecord.h"

#include "platform/fileattributes.h"

#include "platform/pathbytes.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <sys/stat.h>

#include <chrono>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// More than any number of archives a setup has; a larger file is read as far as this.
constexpr qint64 MaxRecordBytes = 4 << 20;

// One line an archive: its path's bytes in hex, device, inode, size, modification time in
// nanoseconds, and the time of its last whole check in seconds.
constexpr qsizetype FieldCount = 6;

struct Line {
    QByteArray pathHex;
    ArchiveCheckRecord::Fingerprint fingerprint;
    qint64 checkedSeconds = 0;
};

std::optional<Line> parse(const QByteArray& text) {
    const QList<QByteArray> fields = text.split(' ');
    if (fields.size() != FieldCount)
        return std::nullopt;
    Line line;
    line.pathHex = fields[0];
    bool ok[5] = {};
    line.fingerprint.device = fields[1].toULongLong(&ok[0]);
    line.fingerprint.inode = fields[2].toULongLong(&ok[1]);
    line.fingerprint.size = fields[3].toULongLong(&ok[2]);
    line.fingerprint.mtimeNs = fields[4].toLongLong(&ok[3]);
    line.checkedSeconds = fields[5].toLongLong(&ok[4]);
    for (const bool good : ok) {
        if (!good)
            return std::nullopt;
    }
    return line;
}

QByteArray format(const Line& line) {
    return line.pathHex + ' ' + QByteArray::number(line.fingerprint.device) + ' ' +
           QByteArray::number(line.fingerprint.inode) + ' ' + QByteArray::number(line.fingerprint.size) +
           ' ' + QByteArray::number(line.fingerprint.mtimeNs) + ' ' +
           QByteArray::number(line.checkedSeconds) + '\n';
}

QByteArray hexOf(const fs::path& archive) {
    const std::string bytes = pathBytes(archive);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex();
}

QList<Line> readLines(const fs::path& file) {
    QList<Line> lines;
    // Only a regular file is opened: a pipe in its place must not hold the run.
    const QString name = QFile::decodeName(QByteArray::fromStdString(pathBytes(file)));
    QFile read(name);
    if (!QFileInfo(name).isFile() || !read.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& text : read.read(MaxRecordBytes).split('\n')) {
        if (const std::optional<Line> line = parse(text))
            lines.append(*line);
    }
    return lines;
}

} // namespace

ArchiveCheckRecord::ArchiveCheckRecord(fs::path recordFile)
    : m_file(std::move(recordFile)) {}

std::optional<ArchiveCheckRecord::Fingerprint> ArchiveCheckRecord::fingerprintOf(const fs::path& archive) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(archive, ec);
    if (ec)
        return std::nullopt;
    const fs::file_time_type time = fs::last_write_time(archive, ec);
    struct stat st {};
    if (ec || ::stat(pathBytes(archive).c_str(), &st) != 0)
        return std::nullopt;
    Fingerprint fingerprint;
    fingerprint.device = static_cast<std::uint64_t>(st.st_dev);
    fingerprint.inode = static_cast<std::uint64_t>(st.st_ino);
    fingerprint.size = size;
    fingerprint.mtimeNs = platform::FileAttributes::toUnixNs(time);
    return fingerprint;
}

bool ArchiveCheckRecord::checkDue(const fs::path& archive, qint64 nowSeconds) const {
    const std::optional<Fingerprint> now = fingerprintOf(archive);
    if (!now)
        return true;
    const QByteArray key = hexOf(archive);
    for (const Line& line : readLines(m_file)) {
        if (line.pathHex != key)
            continue;
        // A check recorded in the future means a clock that was set back: no reason to wait.
        return line.fingerprint != *now || line.checkedSeconds > nowSeconds ||
               nowSeconds - line.checkedSeconds >= CheckIntervalSeconds;
    }
    return true;
}

bool ArchiveCheckRecord::noteChecked(const fs::path& archive, qint64 nowSeconds) const {
    const std::optional<Fingerprint> now = fingerprintOf(archive);
    if (!now)
        return false;
    const QByteArray key = hexOf(archive);
    QByteArray content;
    for (const Line& line : readLines(m_file)) {
        std::error_code ec;
        const QByteArray bytes = QByteArray::fromHex(line.pathHex);
        if (line.pathHex != key &&
            fs::exists(pathFromBytes(std::string_view(bytes.constData(), bytes.size())), ec))
            content += format(line);
    }
    content += format(Line{key, *now, nowSeconds});
    // Replaced whole, flushed to the disk first: never half a record.
    QSaveFile write(QFile::decodeName(QByteArray::fromStdString(pathBytes(m_file))));
    return write.open(QIODevice::WriteOnly) && write.write(content) == content.size() && write.commit();
}
