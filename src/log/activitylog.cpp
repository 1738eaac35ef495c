#include "log/activitylog.h"

#include "log/timestamp.h"

#include <algorithm>

namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString ActivityLog::oneLine(const QString& message) {
    if (std::none_of(message.cbegin(), message.cend(), [](QChar c) { return isControl(c.unicode()); }))
        return message;
    QString escaped;
    escaped.reserve(message.size() + 8);
    for (const QChar c : message) {
        const char16_t u = c.unicode();
        if (!isControl(u))
            escaped += c;
        else if (u == '\n')
            escaped += QStringLiteral("\\n");
        else if (u == '\r')
            escaped += QStringLiteral("\\r");
        else if (u == '\t')
            escaped += QStringLiteral("\\t");
        else if (u <= 0xff)
            escaped += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            escaped += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
    }
    return escaped;
}

void ActivityLog::logMessage(const QString& message) {
    const QString text = oneLine(message);
    const QString line = Timestamp::text(QDateTime::currentDateTime()) + QStringLiteral(" - ") + text;
    m_lines.append(line);
    Q_EMIT lineAppended(line);
    Q_EMIT messageLogged(text);
}
