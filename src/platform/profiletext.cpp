#include "platform/profiletext.h"

namespace platform {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

QByteArrayView trimmedView(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool mayBeSection(const QByteArray& line) {
    const QByteArrayView text = trimmedView(line);
    return !text.isEmpty() && text.front() == '[';
}

// Whether a "key=value" line holds the key, without copying anything: a lookup runs over
// every line of a section, and a list section has thousands.
bool holdsKey(const QByteArray& line, const QByteArray& key) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    const QByteArrayView name = trimmedView(QByteArrayView(line).first(equals));
    return !name.isEmpty() && name.front() != ';' && name.front() != '[' && sameName(name, key);
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<QByteArray> sectionName(const QByteArray& line) {
    if (!mayBeSection(line))
        return std::nullopt;
    const QByteArray text = trimmed(line);
    if (!text.startsWith('['))
        return std::nullopt;
    const qsizetype close = text.lastIndexOf(']');
    if (close < 1)
        return std::nullopt;
    return trimmed(QByteArrayView(text).sliced(1, close - 1));
}

struct KeyLine {
    QByteArray key;
    QByteArrayView rawValue;
};

// The key and raw value of a "key=value" line; comments and lines without a key are not.
std::optional<KeyLine> keyLine(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    QByteArray key = trimmed(QByteArrayView(line).first(equals));
    if (key.isEmpty() || key.startsWith(';') || key.startsWith('['))
        return std::nullopt;
    return KeyLine{std::move(key), QByteArrayView(line).sliced(equals + 1)};
}

QByteArray readValue(QByteArrayView raw) {
    QByteArray value = trimmed(raw);
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    if (value.size() > ProfileText::maxValueLength)
        value.truncate(ProfileText::maxValueLength);
    return value;
}

QByteArray singleLine(const QByteArray& text) {
    qsizetype end = 0;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r' && text[end] != '\0')
        ++end;
    return text.first(end);
}

// The form in which a value is written so that reading gives it back: quoted when its own
// blanks at either end would be trimmed, or its own enclosing quotes removed, on reading.
QByteArray storedForm(const QByteArray& value) {
    const QByteArray line = singleLine(value);
    if (line.isEmpty())
        return line;
    const bool blankAtEnd = trimmed(line).size() != line.size();
    const bool quoted =
        line.size() >= 2 && (line.front() == '"' || line.front() == '\'') && line.back() == line.front();
    return blankAtEnd || quoted ? '"' + line + '"' : line;
}

} // namespace

ProfileText::ProfileText(const QByteArray& content) {
    const qsizetype firstBreak = content.indexOf('\n');
    m_crlf = firstBreak > 0 && content[firstBreak - 1] == '\r';
    m_lines = content.split('\n');
    if (!m_lines.isEmpty() && m_lines.back().isEmpty())
        m_lines.removeLast(); // the text ended with a line break
}

std::optional<ProfileText::SectionRange> ProfileText::findSection(const QByteArray& section) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (!name || !sameName(*name, section))
            continue;
        qsizetype end = i + 1;
        while (end < m_lines.size() && !(mayBeSection(m_lines[end]) && sectionName(m_lines[end])))
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<qsizetype> ProfileText::findKey(const SectionRange& range, const QByteArray& key) const {
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (holdsKey(m_lines[i], key))
            return i;
    }
    return std::nullopt;
}

std::optional<QByteArray> ProfileText::value(const QByteArray& section, const QByteArray& key) const {
    const auto range = findSection(section);
    if (!range)
        return std::nullopt;
    const auto index = findKey(*range, key);
    if (!index)
        return std::nullopt;
    return readValue(keyLine(m_lines[*index])->rawValue);
}

QList<QByteArray> ProfileText::keys(const QByteArray& section) const {
    QList<QByteArray> names;
    if (const auto range = findSection(section)) {
        for (qsizetype i = range->header + 1; i < range->end; ++i) {
            if (const auto line = keyLine(m_lines[i]))
                names.append(line->key);
        }
    }
    return names;
}

QByteArray ProfileText::newLine(const QByteArray& text) const {
    return m_crlf ? text + '\r' : text;
}

void ProfileText::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const QByteArray stored = storedForm(value);
    const auto range = findSection(section);
    if (!range) {
        m_lines.append(newLine('[' + section + ']'));
        m_lines.append(newLine(key + '=' + stored));
        return;
    }
    if (const auto index = findKey(*range, key)) {
        // Keep the name as the file spells it, and the line's own ending.
        const QByteArray& old = m_lines[*index];
        const QByteArray ending = old.endsWith('\r') ? QByteArray("\r") : QByteArray();
        m_lines[*index] = keyLine(old)->key + '=' + stored + ending;
        return;
    }
    // After the section's last line that is not blank, so a blank separator stays in place.
    qsizetype insertAt = range->end;
    while (insertAt > range->header + 1 && trimmed(m_lines[insertAt - 1]).isEmpty())
        --insertAt;
    m_lines.insert(insertAt, newLine(key + '=' + stored));
}

bool ProfileText::eraseSection(const QByteArray& section) {
    const auto range = findSection(section);
    if (!range)
        return false;
    m_lines.remove(range->header, range->end - range->header);
    return true;
}

QByteArray ProfileText::toBytes() const {
    QByteArray out;
    qsizetype total = 0;
    for (const QByteArray& line : m_lines)
        total += line.size() + 1;
    out.reserve(total);
    for (const QByteArray& line : m_lines) {
        out += line;
        out += '\n';
    }
    return out;
}

} // namespace platform
