#include "online/servertext.h"

QString ServerText::trimmed(const QString& answer) {
    qsizetype begin = 0;
    qsizetype end = answer.size();
    const auto strip = [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control;
    };
    while (begin < end && strip(answer.at(begin)))
        ++begin;
    while (end > begin && strip(answer.at(end - 1)))
        --end;
    return answer.mid(begin, end - begin);
}

QString ServerText::excerpt(const QString& text, qsizetype maxChars) {
    if (text.size() <= maxChars)
        return text;
    qsizetype cut = maxChars;
    // Never half of a surrogate pair.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QStringLiteral("...");
}
