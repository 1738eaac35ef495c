#include "log/timestamp.h"

#include <QRegularExpression>

namespace {

// A long time format without its time-zone part ("t", with the blank before it).
QString timeFormatWithoutZone(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    format.remove(zone);
    return format.trimmed();
}

bool isFileNameSeparator(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('/') || c == QLatin1Char(':') ||
           c == QLatin1Char('\\');
}

QString asFileNameText(QString text) {
    for (QChar& c : text) {
        if (isFileNameSeparator(c))
            c = QLatin1Char('_');
    }
    return text;
}

// The pattern of one field of a date or time format: `letter` repeated `count` times.
QString fieldPattern(QChar letter, qsizetype count) {
    switch (letter.unicode()) {
    case 'd':
    case 'M':
        return count <= 2 ? QStringLiteral("\\p{Nd}{%1,2}").arg(count)
                          : QStringLiteral("[^\\p{Nd}]+?"); // names
    case 'y':
        return QStringLiteral("-?\\p{Nd}{%1}").arg(count >= 4 ? 4 : 2);
    case 'h':
    case 'H':
    case 'm':
    case 's':
        return QStringLiteral("\\p{Nd}{%1,2}").arg(count >= 2 ? 2 : 1);
    case 'z':
        return QStringLiteral("\\p{Nd}{1,3}");
    case 'A':
    case 'a':
    case 'P':
    case 'p':
        return QStringLiteral("[^\\p{Nd}]+?"); // "AM", "p. m." and the like
    default:
        return QString();
    }
}

// A Qt date or time format as a pattern of the text it gives, after the file-name replacements.
QString formatPattern(const QString& format) {
    QString pattern;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) { // quoted text; '' is a quote
            const qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            const QString quoted = end < 0 ? format.mid(i + 1) : format.mid(i + 1, end - i - 1);
            pattern +=
                quoted.isEmpty() ? QStringLiteral("'") : QRegularExpression::escape(asFileNameText(quoted));
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        qsizetype count = 1;
        while (i + count < format.size() && format[i + count] == c)
            ++count;
        const QString field = fieldPattern(c, count);
        if (!field.isEmpty() && (c == QLatin1Char('A') || c == QLatin1Char('a')) &&
            i + count < format.size() && format[i + count].toUpper() == QLatin1Char('P'))
            ++count; // "AP", "ap"
        pattern += field.isEmpty() ? QRegularExpression::escape(asFileNameText(format.mid(i, count))) : field;
        i += count;
    }
    return pattern;
}

} // namespace

QString Timestamp::shortDate(const QDate& date, const QLocale& locale) {
    return locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
}

QString Timestamp::longTime(const QTime& time, const QLocale& locale) {
    return locale.toString(time, timeFormatWithoutZone(locale));
}

QString Timestamp::text(const QDateTime& moment, const QLocale& locale) {
    const QTime time = moment.time();
    const QString date = shortDate(moment.date(), locale);
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + longTime(time, locale);
}

QString Timestamp::fileNameText(const QDateTime& moment, const QLocale& locale) {
    return asFileNameText(text(moment, locale));
}

QRegularExpression Timestamp::fileNamePattern(const QLocale& locale) {
    const QString date = formatPattern(locale.dateFormat(QLocale::ShortFormat));
    const QString time = formatPattern(timeFormatWithoutZone(locale));
    return QRegularExpression(
        QRegularExpression::anchoredPattern(date + QStringLiteral("(?:_") + time + QStringLiteral(")?")));
}
