#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>

namespace platform {

// Raised when a write to a profile file cannot be completed; the message is
// "Unable to write to " followed by the full path of the file.
class ProfileWriteError : public std::runtime_error {
public:
    explicit ProfileWriteError(const QString& path);
};

// Access to one INI ("profile") file with the rules of Windows profile files.
// There is no cache: every read or write opens and closes the file. A series of writes
// that belong together (a whole save) is one ProfileBatch, written in one replacement.
// Reading: section and key names compared without case; blanks around a value
// dropped; a value in matching double or single quotes read without them; at most
// 2047 bytes read back; a missing file, section or key gives the default.
// Writing: the whole file is replaced atomically (temporary file in the same
// folder, flushed, renamed over it); every other section, key and comment stays.
// Values are bytes: text is stored as UTF-8 by the callers, paths as their own bytes.
// A value is stored up to its first line break or NUL byte (one value, one line). New
// lines take the file's own line ending (CR LF or LF); other lines keep theirs.
// On a file that exists but cannot be read, a write fails rather than replace it.
class ProfileFile {
public:
    explicit ProfileFile(QString filePath);

    const QString& filePath() const { return m_filePath; }

    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue) const;
    // The names of the section's keys in file order; empty for a missing file or section.
    QList<QByteArray> readKeys(const QByteArray& section) const;
    // Decimal, or hexadecimal after "0x", "0X" or "$"; anything else is the default.
    int readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const;
    // An integer; any non-zero value is true.
    bool readBool(const QByteArray& section, const QByteArray& key, bool defaultValue) const;

    // Each throws ProfileWriteError when the file cannot be written.
    void writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    void writeInteger(const QByteArray& section, const QByteArray& key, int value);
    void writeBool(const QByteArray& section, const QByteArray& key, bool value);
    void eraseSection(const QByteArray& section);

    // The integer rules of readInteger: an optional sign and decimal digits, or up to 32 bits
    // of hexadecimal after "0x", "0X" or "$"; nullopt for anything else.
    static std::optional<int> parseInteger(const QByteArray& text);

private:
    QString m_filePath;
};

} // namespace platform
