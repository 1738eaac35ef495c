#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <filesystem>
#include <memory>
#include <utility>

namespace platform {

// A series of reads and writes on one profile (INI) file that reads the file once and
// writes it once: reads see the file as it was read plus the changes made so far, and
// commit() stores every change in one atomic replacement of the file (the rules of
// ProfileFile). Nothing outlives the batch: the next batch reads the file again, so a
// change made to it by hand in between is seen.
//
// A file that exists but could not be read (isUnreadable()) reads as empty. If it is text in a
// wide encoding or binary (ProfileText::isBinary), commit() keeps it under another name and
// starts a new file (setAsidePath() tells where the old one went; the caller tells the user);
// otherwise commit() fails.
class ProfileBatch {
public:
    explicit ProfileBatch(std::filesystem::path filePath);
    explicit ProfileBatch(const QString& filePath);
    ~ProfileBatch();
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The path for showing or logging.
    QString filePath() const;

    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue) const;
    QList<QByteArray> readKeys(const QByteArray& section) const;
    // The keys and values of the sections of this name after the first, which the reads above
    // never see (a section is looked up by its first occurrence).
    QList<std::pair<QByteArray, QByteArray>> readLaterSectionEntries(const QByteArray& section) const;
    int readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const;
    bool readBool(const QByteArray& section, const QByteArray& key, bool defaultValue) const;

    void writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    void writeInteger(const QByteArray& section, const QByteArray& key, int value);
    void writeBool(const QByteArray& section, const QByteArray& key, bool value);
    void eraseSection(const QByteArray& section);

    // Stores the changes; the file is left alone when they change nothing. Throws
    // ProfileWriteError when the file cannot be replaced; it then keeps its old content whole.
    void commit();

    // Whether the file exists but its content could not be read, so every read gave the
    // default: text in a wide encoding (UTF-16, UTF-32), binary content, no read permission, or
    // no regular file.
    bool isUnreadable() const;
    // After a commit() that moved an unreadable file aside to start a new one: the path it
    // now has ("<name>.unreadable", or ".unreadable.2", ... when that existed). Empty otherwise.
    const std::filesystem::path& setAsidePath() const;

private:
    class State;
    std::filesystem::path m_path;
    std::unique_ptr<State> m_state;
};

} // namespace platform
