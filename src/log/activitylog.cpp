#include "log/activitylog.h"

#include "log/timestamp.h"

void ActivityLog::logMessage(const QString& message) {
    const QString line = Timestamp::text(QDateTime::currentDateTime()) + QStringLiteral(" - ") + message;
    m_lines.append(line);
    Q_EMIT lineAppended(line);
    Q_EMIT messageLogged(message);
}
