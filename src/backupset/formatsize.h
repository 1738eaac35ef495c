#pragma once

#include <QLocale>
#include <QString>

// The size text shown for a byte count: "1024 bytes", "1.00 Kb", "12.34 Mb", "1.50 Gb".
// Above each unit's threshold (strictly) the count is shown in that unit with two decimals,
// rounded half up, with the locale's decimal separator and no thousands separator.
// Counts of 1024 and below, and negative counts, are shown as whole bytes.
QString FormatSize(qint64 bytes, const QLocale& locale = QLocale::system());
