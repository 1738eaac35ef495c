#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace platform {

// A series of reads and writes on one profile (INI) file that reads the file once and
// writes it once: reads see the file as it was read plus the changes made so far, and
// commit() stores every change in one atomic replacement of the file (the rules of
// ProfileFile). Nothing outlives the batch: the next batch reads the file again, so a
// change made to it by hand in between is seen.
class ProfileBatch {
public:
    explicit ProfileBatch(QString filePath);
    ~ProfileBatch();
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    const QString& filePath() const { return m_filePath; }

    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue) const;
    QList<QByteArray> readKeys(const QByteArray& section) const;
    int readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const;
    bool readBool(const QByteArray& section, const QByteArray& key, bool defaultValue) const;

    void writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    void writeInteger(const QByteArray& section, const QByteArray& key, int value);
    void writeBool(const QByteArray& section, const QByteArray& key, bool value);
    void eraseSection(const QByteArray& section);

    // Stores the changes; the file is left alone when they change nothing. Throws
    // ProfileWriteError when the file cannot be replaced; it then keeps its old content whole.
    void commit();

private:
    class State;
    QString m_filePath;
    std::unique_ptr<State> m_state;
};

} // namespace platform
