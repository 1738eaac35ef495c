#pragma once

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QString>

// The program's timestamps: the user's short date, a blank and the long time
// (without a time-zone name); the date alone when the time is exactly 00:00:00.
class Timestamp {
public:
    static QString text(const QDateTime& moment, const QLocale& locale = QLocale::system());
    // The same text with every blank, "-", "/", ":" and "\" replaced by "_".
    static QString fileNameText(const QDateTime& moment, const QLocale& locale = QLocale::system());
    // What fileNameText writes in this locale, as a whole-text pattern, so that a file name can be
    // read back: the date, and the time unless it was midnight.
    static QRegularExpression fileNamePattern(const QLocale& locale = QLocale::system());
    static QString shortDate(const QDate& date, const QLocale& locale = QLocale::system());
    static QString longTime(const QTime& time, const QLocale& locale = QLocale::system());
};
