#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <filesystem>
#include <optional>
#include <stdexcept>

namespace platform {

// Raised when a write to a profile file cannot be completed; the message is
// "Unable to write to " followed by the full path of the file.
// (what() holds the path's own bytes; path() gives it whole.)
class ProfileWriteError : public std::runtime_error {
public:
    explicit ProfileWriteError(const std::filesystem::path& path);
    explicit ProfileWriteError(const QString& path);

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Access to one INI ("profile") file with the rules of Windows profile files.
// There is no cache: every read or write opens and closes the file. A series of writes
// that belong together (a whole save) is one ProfileBatch, written in one replacement.
// Reading: section and key names compared without case; blanks around a value
// dropped; a value in matching double or single quotes read without them; at most
// 2047 bytes read back; a missing file, section or key gives the default, less the spaces at
// its end.
// Writing: the whole file is replaced atomically (temporary file in the same
// folder, flushed, renamed over it); every other section, key and comment stays.
// Values are bytes: text is stored as UTF-8 by the callers, paths as their own bytes.
// A value is stored up to its first line break or NUL byte (one value, one line). New
// lines take the file's own line ending (LF, CR LF or CR); other lines keep theirs. A UTF-8
// byte-order mark in front is skipped on reading and kept on writing.
// A file that cannot be read is never overwritten:
// - text in a wide encoding (UTF-16, UTF-32), or binary content (ProfileText::isBinary: random
//   bytes, a block of NUL bytes), reads as empty; the first write renames it to
//   "<name>.unreadable" (".unreadable.2", ... when that exists) and starts a new file holding
//   what was written; setAsidePath() then says where the old one went, for the user to be told;
// - a file without read permission, or no regular file (a folder, a FIFO, a device, also
//   behind a symbolic link), reads as empty without ever blocking, and a write fails.
// A path is bytes: the std::filesystem::path constructor takes any name the system allows.
class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path filePath);
    explicit ProfileFile(const QString& filePath);

    const std::filesystem::path& path() const { return m_path; }
    // The path for showing or logging.
    QString filePath() const;

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

    // Where the last write of this object moved an unreadable file (see above); empty when it
    // moved none.
    const std::filesystem::path& setAsidePath() const { return m_setAsidePath; }

    // The integer rules of readInteger: an optional sign and decimal digits, or up to 32 bits
    // of hexadecimal after "0x", "0X" or "$"; nullopt for anything else.
    static std::optional<int> parseInteger(const QByteArray& text);

    // A path given as text (UTF-8 on disk where names are bytes), and a path as text to show.
    static std::filesystem::path pathFromText(const QString& text);
    static QString textOfPath(const std::filesystem::path& path);

private:
    std::filesystem::path m_path;
    std::filesystem::path m_setAsidePath;
};

} // namespace platform
