#include "backupset/formatsize.h"

namespace {
constexpr qint64 kKb = 1024;
constexpr qint64 kMb = 1048576;
constexpr qint64 kGb = 1073741824;

// Exact integer arithmetic: a double would round some halves down.
QString twoDecimals(qint64 bytes, qint64 unit, const QLocale& locale, const char* suffix) {
    const qint64 whole = bytes / unit;
    const qint64 rest = bytes % unit;
    const qint64 hundredths = whole * 100 + (rest * 100 + unit / 2) / unit;
    return QString::number(hundredths / 100) + locale.decimalPoint() +
           QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0')) + QLatin1String(suffix);
}
} // namespace

QString FormatSize(qint64 bytes, const QLocale& locale) {
    if (bytes > kGb)
        return twoDecimals(bytes, kGb, locale, " Gb");
    if (bytes > kMb - 1)
        return twoDecimals(bytes, kMb, locale, " Mb");
    if (bytes > kKb)
        return twoDecimals(bytes, kKb, locale, " Kb");
    return QString::number(bytes) + QStringLiteral(" bytes");
}
