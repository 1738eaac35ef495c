#include "online/onlineserver.h"

#include <QByteArray>

#ifndef QUORALIS_DEFAULT_SERVER
#define QUORALIS_DEFAULT_SERVER "quoralis.invalid"
#endif
#ifndef QUORALIS_SUPPORT_ADDRESS
#define QUORALIS_SUPPORT_ADDRESS "support@quoralis.invalid"
#endif

QString OnlineServer::baseUrl() {
    return baseUrlFrom(QString::fromLocal8Bit(qgetenv("QUORALIS_SERVER")));
}

QString OnlineServer::baseUrlFrom(const QString& setting) {
    QString address = setting.trimmed();
    if (address.isEmpty())
        address = QStringLiteral(QUORALIS_DEFAULT_SERVER);
    QString scheme = QStringLiteral("http://");
    for (const QString& prefix : {QStringLiteral("http://"), QStringLiteral("https://")}) {
        if (address.startsWith(prefix, Qt::CaseInsensitive)) {
            scheme = prefix;
            address.remove(0, prefix.size());
        }
    }
    // Only the host and port count; a path written after them is dropped.
    return scheme + address.section(QLatin1Char('/'), 0, 0);
}

QString OnlineServer::supportAddress() {
    return QStringLiteral(QUORALIS_SUPPORT_ADDRESS);
}
