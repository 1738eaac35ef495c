#include "platform/profiletext.h"

#include <algorithm>

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

// The form of a name under which it is indexed: names are compared without case.
QByteArray folded(QByteArrayView name) {
    QByteArray result(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i)
        result[i] = foldCase(name[i]);
    return result;
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

// The name of a "[name]" line, or nullopt for any other line.
std::optional<QByteArrayView> sectionName(const QByteArray& line) {
    const QByteArrayView text = trimmedView(line);
    if (!text.startsWith('['))
        return std::nullopt;
    const qsizetype close = text.lastIndexOf(']');
    if (close < 1)
        return std::nullopt;
    return trimmedView(text.sliced(1, close - 1));
}

struct KeyLine {
    QByteArrayView key;
    QByteArrayView rawValue;
};

// The key and raw value of a "key=value" line; comments and lines without a key are not.
std::optional<KeyLine> keyLine(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    const QByteArrayView key = trimmedView(QByteArrayView(line).first(equals));
    if (key.isEmpty() || key.startsWith(';') || key.startsWith('['))
        return std::nullopt;
    return KeyLine{key, QByteArrayView(line).sliced(equals + 1)};
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

constexpr QByteArrayView utf8ByteOrderMark = "\xEF\xBB\xBF";

} // namespace

QByteArrayView ProfileText::endingBytes(Ending ending) {
    switch (ending) {
    case Ending::CrLf:
        return "\r\n";
    case Ending::Cr:
        return "\r";
    default:
        return "\n";
    }
}

ProfileText::ProfileText(const QByteArray& content) {
    QByteArrayView rest(content);
    if (rest.startsWith(utf8ByteOrderMark)) {
        m_byteOrderMark = utf8ByteOrderMark.toByteArray();
        rest = rest.sliced(utf8ByteOrderMark.size());
    }
    m_sections.append(Section{});
    bool endingSeen = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] != '\n' && rest[i] != '\r')
            continue;
        Ending ending = rest[i] == '\n' ? Ending::Lf : Ending::Cr;
        const qsizetype lineEnd = i;
        if (ending == Ending::Cr && i + 1 < rest.size() && rest[i + 1] == '\n') {
            ending = Ending::CrLf;
            ++i;
        }
        if (!endingSeen) {
            m_newLine = ending;
            endingSeen = true;
        }
        appendLine(rest.sliced(start, lineEnd - start).toByteArray(), ending);
        start = i + 1;
    }
    if (start < rest.size())
        appendLine(rest.sliced(start).toByteArray(), Ending::None);
    indexSections();
}

void ProfileText::appendLine(QByteArray text, Ending ending) {
    if (sectionName(text))
        m_sections.append(Section{});
    Section& section = m_sections.back();
    section.lines.append(Line{std::move(text), ending});
    indexKey(section, section.lines.size() - 1);
}

void ProfileText::indexKey(Section& section, qsizetype line) {
    if (const auto parts = keyLine(section.lines[line].text)) {
        const QByteArray name = folded(parts->key);
        if (!section.keyLines.contains(name))
            section.keyLines.insert(name, line);
    }
}

void ProfileText::indexSections() {
    m_sectionIndex.clear();
    // The first section holds the lines before any header: it has no name.
    for (qsizetype i = 1; i < m_sections.size(); ++i) {
        const QByteArray name = folded(*sectionName(m_sections[i].lines.front().text));
        if (!m_sectionIndex.contains(name))
            m_sectionIndex.insert(name, i);
    }
}

const ProfileText::Section* ProfileText::findSection(const QByteArray& name) const {
    const auto found = m_sectionIndex.constFind(folded(trimmedView(name)));
    return found == m_sectionIndex.cend() ? nullptr : &m_sections[*found];
}

std::optional<QByteArray> ProfileText::value(const QByteArray& section, const QByteArray& key) const {
    const Section* found = findSection(section);
    if (!found)
        return std::nullopt;
    const auto line = found->keyLines.constFind(folded(key));
    if (line == found->keyLines.cend())
        return std::nullopt;
    return readValue(keyLine(found->lines[*line].text)->rawValue);
}

QList<QByteArray> ProfileText::keys(const QByteArray& section) const {
    QList<QByteArray> names;
    if (const Section* found = findSection(section)) {
        for (qsizetype i = 1; i < found->lines.size(); ++i) {
            if (const auto line = keyLine(found->lines[i].text))
                names.append(line->key.toByteArray());
        }
    }
    return names;
}

QList<std::pair<QByteArray, QByteArray>> ProfileText::laterSectionEntries(const QByteArray& section) const {
    QList<std::pair<QByteArray, QByteArray>> entries;
    const auto first = m_sectionIndex.constFind(folded(trimmedView(section)));
    if (first == m_sectionIndex.cend())
        return entries;
    const QByteArray name = first.key();
    for (qsizetype i = *first + 1; i < m_sections.size(); ++i) {
        const QList<Line>& lines = m_sections[i].lines;
        if (folded(*sectionName(lines.front().text)) != name)
            continue;
        for (qsizetype j = 1; j < lines.size(); ++j) {
            if (const auto line = keyLine(lines[j].text))
                entries.append({line->key.toByteArray(), readValue(line->rawValue)});
        }
    }
    return entries;
}

void ProfileText::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const QByteArray stored = storedForm(value);
    const auto found = m_sectionIndex.constFind(folded(trimmedView(section)));
    if (found == m_sectionIndex.cend()) {
        Section added;
        added.lines.append(Line{'[' + section + ']', m_newLine});
        m_sections.append(added);
        indexSections();
        setValue(section, key, value);
        return;
    }
    Section& target = m_sections[*found];
    if (const auto line = target.keyLines.constFind(folded(key)); line != target.keyLines.cend()) {
        // Keep the name as the file spells it, and the line's own ending.
        QByteArray& text = target.lines[*line].text;
        text = keyLine(text)->key.toByteArray() + '=' + stored;
        return;
    }
    // After the section's last line that is not blank, so a blank separator stays in place;
    // the blank lines that move hold no key, so the index stays right.
    qsizetype insertAt = target.lines.size();
    while (insertAt > 1 && trimmedView(target.lines[insertAt - 1].text).isEmpty())
        --insertAt;
    target.lines.insert(insertAt, Line{key + '=' + stored, m_newLine});
    indexKey(target, insertAt);
}

bool ProfileText::eraseSection(const QByteArray& section) {
    const auto found = m_sectionIndex.constFind(folded(trimmedView(section)));
    if (found == m_sectionIndex.cend())
        return false;
    m_sections.removeAt(*found);
    indexSections();
    return true;
}

QByteArray ProfileText::toBytes() const {
    qsizetype total = m_byteOrderMark.size();
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines)
            total += line.text.size() + 2;
    }
    QByteArray out;
    out.reserve(total);
    out += m_byteOrderMark;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            out += line.text;
            out += endingBytes(line.ending == Ending::None ? m_newLine : line.ending);
        }
    }
    return out;
}

bool ProfileText::isWideText(const QByteArray& content) {
    const QByteArrayView text(content);
    if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF") ||
        text.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return true;
    // Without a mark: text of mostly ASCII characters in UTF-16 or UTF-32 has a NUL in most
    // bytes of one parity but not of the other. A block of NUL bytes (a file zeroed by a
    // crash) has them in both, and binary garbage in neither.
    const qsizetype sample = std::min<qsizetype>(text.size(), 4096);
    if (sample < 4)
        return false;
    qsizetype nuls[2] = {0, 0};
    for (qsizetype i = 0; i < sample; ++i)
        nuls[i % 2] += text[i] == '\0' ? 1 : 0;
    const qsizetype counts[2] = {(sample + 1) / 2, sample / 2};
    const auto mostlyNul = [&](int parity) {
        return nuls[parity] * 2 > counts[parity];
    };
    return mostlyNul(0) != mostlyNul(1);
}

bool ProfileText::isBinary(const QByteArray& content) {
    qsizetype controls = 0;
    for (const char c : content) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\f' && byte != '\r' && byte != 0x1A)
            ++controls;
    }
    return controls >= 16 && controls * 32 > content.size();
}

} // namespace platform
