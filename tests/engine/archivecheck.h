#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <filesystem>
#include <vector>

// Reads archives back with independent readers: Info-ZIP's unzip, Python's zipfile, Java and 7-Zip.
namespace archivecheck {

struct Entry {
    QByteArray name; // the stored bytes
    int flags = 0;
    int method = 0;
    quint32 crc = 0;
    qint64 compressed = 0;
    qint64 size = 0;
    QList<int> dateTime;
    QByteArray extra;
    qint64 offset = 0;
    quint32 external = 0;
    QByteArray rawDigest; // of the stored (compressed) bytes
    quint32 rawCrc = 0;   // likewise
};

struct Listing {
    bool ok = false;
    QString error;
    QByteArray comment;
    std::vector<Entry> entries;
    const Entry* find(const QByteArray& name) const;
};

// `unzip -t`: true when it reports no errors; `output` gets what it printed.
bool unzipTest(const std::filesystem::path& archive, QString* output = nullptr);
// Python's zipfile: open the archive and check the CRC of every entry.
bool pythonTest(const std::filesystem::path& archive, QString* output = nullptr);
Listing pythonListing(const std::filesystem::path& archive);
// Java's java.util.zip, which refuses a whole archive over one entry it cannot read, and 7-Zip:
// false with `output` when the reader rejects the archive or is not installed.
bool javaTest(const std::filesystem::path& archive, QString* output = nullptr);
bool sevenZipTest(const std::filesystem::path& archive, QString* output = nullptr);
bool haveProgram(const QString& program);

// The entry name the engine gives a file with AddDirNames: its path without the root "/".
QByteArray entryNameOf(const std::filesystem::path& file);

} // namespace archivecheck
