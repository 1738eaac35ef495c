#include "keyringservice.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QStringList>

namespace platform {
namespace {

// The services the keyring library talks to: the Secret Service first, the wallets on KDE.
const QStringList keyringServices{QStringLiteral("org.freedesktop.secrets"),
                                  QStringLiteral("org.kde.kwalletd6"), QStringLiteral("org.kde.kwalletd5")};

// The session bus as the keyring library finds it: the address in the environment, else the
// user's bus socket in the runtime folder.
QString sessionBusAddress() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QStringLiteral("/bus");
    if (!runtime.isEmpty() && QFileInfo::exists(socket))
        return QStringLiteral("unix:path=") + socket;
    return QString();
}

bool setReason(QString* why, const QString& text) {
    if (why)
        *why = text;
    return false;
}

} // namespace

bool keyringServiceReachable(QString* why) {
    const QString address = sessionBusAddress();
    if (address.isEmpty())
        return setReason(why, QStringLiteral("there is no session bus"));

    // A connection of our own each time: the address may change (a new login), and the process's
    // shared session connection would keep the first one.
    static QAtomicInteger<quint32> serial;
    const QString name = QStringLiteral("quoralis-keyring-probe-%1").arg(serial.fetchAndAddRelaxed(1));
    bool reachable = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        if (!bus.isConnected()) {
            setReason(why, QStringLiteral("the session bus does not answer: ") + bus.lastError().message());
        } else {
            const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
            for (const QString& service : keyringServices) {
                if (bus.interface()->isServiceRegistered(service).value() ||
                    (activatable.isValid() && activatable.value().contains(service))) {
                    reachable = true;
                    break;
                }
            }
            if (!reachable)
                setReason(why, QStringLiteral("no keyring service runs on the session bus"));
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return reachable;
}

} // namespace platform
