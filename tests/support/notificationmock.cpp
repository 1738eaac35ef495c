#include "notificationmock.h"

#include <QDBusArgument>
#include <QVariantMap>

NotificationMock::NotificationMock()
    : DbusMock(QStringLiteral("notification_daemon"), QStringLiteral("org.freedesktop.Notifications"),
               QStringLiteral("/org/freedesktop/Notifications"), Bus::Session) {}

QList<NotificationMock::Notice> NotificationMock::notices() {
    QList<Notice> result;
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
    for (const QVariantList& args : calls(QStringLiteral("Notify"))) {
        if (args.size() < 7)
            continue;
        Notice notice;
        notice.application = args[0].toString();
        notice.summary = args[3].toString();
        notice.body = args[4].toString();
        QVariantMap hints;
        if (args[6].canConvert<QDBusArgument>())
            args[6].value<QDBusArgument>() >> hints;
        else
            hints = args[6].toMap();
        if (hints.contains(QStringLiteral("urgency")))
            notice.urgency = plainValue(hints.value(QStringLiteral("urgency"))).toInt();
        result.append(notice);
    }
    return result;
}
