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
    QString name = text(moment, locale);
    for (QChar& c : name) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('/') ||
            c == QLatin1Char(':') || c == QLatin1Char('\\'))
            c = QLatin1Char('_');
    }
    return name;
}
