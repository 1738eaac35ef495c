#include "platform/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace platform {

namespace {

// org.freedesktop.Notifications on the session bus. The call is sent without waiting for its
// answer: a desktop without the service (or without a session bus) costs nothing.
class FreedesktopNotifier : public DesktopNotifier {
public:
    void notify(const QString& title, const QString& text, bool urgent) override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        QVariantMap hints;
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(urgent ? 2 : 1));
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quoralis2005"));
        // Application, replaces id, icon, summary, body, actions, hints, timeout (-1: the server's).
        call << QStringLiteral("Quoralis2005") << 0u << QStringLiteral("document-save") << title << text
             << QStringList() << hints << -1;
        bus.send(call);
    }
};

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::createSystemNotifier() {
    return std::make_unique<FreedesktopNotifier>();
}

} // namespace platform
