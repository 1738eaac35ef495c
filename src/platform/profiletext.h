#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace platform {

// The text of a profile (INI) file as lines, with lookup and single-key edits.
// Lines that are neither "[section]" nor "key=value" (comments, blank lines, garbage) are
// kept byte for byte, as are the lines that an edit does not touch. Names are compared
// without case (ASCII letters only; other bytes must match exactly). The first matching
// section, and in it the first matching key, is the one that is read and written.
class ProfileText {
public:
    explicit ProfileText(const QByteArray& content);

    // The stored value with the reading rules applied (blanks trimmed, one pair of matching
    // quotes removed, cut at a NUL byte and at maxValueLength bytes); nullopt when missing.
    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;
    // The names of the first matching section's keys, as the file spells them, in file order.
    QList<QByteArray> keys(const QByteArray& section) const;

    // Replaces the key's value, or adds the key at the end of its section, or adds the
    // section at the end of the text. The value is stored up to its first line break or
    // NUL byte, so a value can never add lines of its own.
    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    // Removes the first matching section: its header and every line up to the next section.
    // Returns false when there is no such section.
    bool eraseSection(const QByteArray& section);

    // The text to store: every line ends with a line break; new lines use the text's own
    // line ending (CR LF when its first line ends so, LF otherwise).
    QByteArray toBytes() const;

    static constexpr qsizetype maxValueLength = 2047;

private:
    struct SectionRange {
        qsizetype header;
        qsizetype end; // one past the last line belonging to the section
    };
    std::optional<SectionRange> findSection(const QByteArray& section) const;
    std::optional<qsizetype> findKey(const SectionRange& range, const QByteArray& key) const;
    QByteArray newLine(const QByteArray& text) const;

    QList<QByteArray> m_lines; // without the final '\n'; a CR before it stays part of the line
    bool m_crlf = false;
};

} // namespace platform
