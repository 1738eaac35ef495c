#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

#include <optional>
#include <utility>

namespace platform {

// The text of a profile (INI) file as lines, with lookup and single-key edits.
// Lines end with LF, CR LF or a lone CR. A UTF-8 byte-order mark in front is skipped on
// reading and kept on writing. Lines that are neither "[section]" nor "key=value"
// (comments, blank lines, garbage) are kept byte for byte, as are the lines that an edit
// does not touch, each with its own line ending. Names are compared without case (ASCII
// letters only; other bytes must match exactly). The first matching section, and in it the
// first matching key, is the one that is read and written. Lookups go through an index, so
// reading or writing every key of a section of N keys costs O(N), not O(N²).
class ProfileText {
public:
    explicit ProfileText(const QByteArray& content);

    // The stored value with the reading rules applied (blanks trimmed, one pair of matching
    // quotes removed, cut at a NUL byte and at maxValueLength bytes); nullopt when missing.
    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;
    // The names of the first matching section's keys, as the file spells them, in file order.
    QList<QByteArray> keys(const QByteArray& section) const;
    // The keys and values of every matching section after the first, which reads never see,
    // in file order.
    QList<std::pair<QByteArray, QByteArray>> laterSectionEntries(const QByteArray& section) const;

    // Replaces the key's value, or adds the key at the end of its section, or adds the
    // section at the end of the text. The value is stored up to its first line break or
    // NUL byte, so a value can never add lines of its own.
    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    // Removes the first matching section: its header and every line up to the next section.
    // Returns false when there is no such section.
    bool eraseSection(const QByteArray& section);

    // The text to store: every line ends with a line break; new lines, and a last line that
    // had none, take the text's own line ending (that of its first line; LF when it has none).
    QByteArray toBytes() const;

    // Whether the content is text in a wide encoding (UTF-16 or UTF-32: a byte-order mark of
    // one, or NUL bytes filling every other byte), which reading byte by byte would misread
    // and writing would corrupt.
    static bool isWideText(const QByteArray& content);
    // Whether the content is binary rather than text: at least 16 of its bytes, and more than
    // one in 32, are control characters that text never holds (NUL, and every other one below
    // 0x20 except tab, line feed, form feed, carriage return and the DOS end-of-file mark 0x1A).
    // Random bytes have about one in ten; a hand-edited file has none, whatever its encoding, so
    // Latin-1 text and paths that are not UTF-8 are text. A few odd bytes, such as a NUL ending a
    // value, a folder name holding a control character or some garbage in front of good lines,
    // stay below either bound.
    static bool isBinary(const QByteArray& content);

    static constexpr qsizetype maxValueLength = 2047;

private:
    enum class Ending : quint8 { None, Lf, CrLf, Cr };
    struct Line {
        QByteArray text;
        Ending ending;
    };
    // A "[name]" line and the lines up to the next one; the first section of the text holds
    // the lines before any header and has no header of its own.
    struct Section {
        QList<Line> lines;
        QHash<QByteArray, qsizetype> keyLines; // folded key name -> first line holding it
    };

    static QByteArrayView endingBytes(Ending ending);
    void appendLine(QByteArray text, Ending ending);
    void indexKey(Section& section, qsizetype line);
    void indexSections();
    const Section* findSection(const QByteArray& name) const;

    QList<Section> m_sections;
    QHash<QByteArray, qsizetype> m_sectionIndex; // folded name -> first section of that name
    QByteArray m_byteOrderMark;
    Ending m_newLine = Ending::Lf;
};

} // namespace platform
