#include "keyringservice.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QStringList>

namespace platform {
namespace {

const QString secretService = QStringLiteral("org.freedesktop.secrets");
// The services the keyring library talks to: the Secret Service first, the wallets on KDE.
const QStringList keyringServices{secretService, QStringLiteral("org.kde.kwalletd6"),
                                  QStringLiteral("org.kde.kwalletd5")};

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

// A connection of our own to the session bus, for one question: the address may change (a new
// login), and the process's shared session connection would keep the first one.
class ProbeConnection {
public:
    ProbeConnection()
        : m_name(QStringLiteral("quoralis-keyring-probe-%1").arg(serial.fetchAndAddRelaxed(1))) {
        m_address = sessionBusAddress();
        if (!m_address.isEmpty())
            m_bus = QDBusConnection::connectToBus(m_address, m_name);
    }
    ~ProbeConnection() { QDBusConnection::disconnectFromBus(m_name); }
    ProbeConnection(const ProbeConnection&) = delete;
    ProbeConnection& operator=(const ProbeConnection&) = delete;

    bool hasAddress() const { return !m_address.isEmpty(); }
    QDBusConnection& bus() { return m_bus; }

private:
    static inline QAtomicInteger<quint32> serial;
    QString m_name;
    QString m_address;
    QDBusConnection m_bus{QString()};
};

bool setReason(QString* why, const QString& text) {
    if (why)
        *why = text;
    return false;
}

} // namespace

bool keyringServiceReachable(QString* why) {
    ProbeConnection probe;
    if (!probe.hasAddress())
        return setReason(why, QStringLiteral("there is no session bus"));
    if (!probe.bus().isConnected())
        return setReason(why, QStringLiteral("the session bus does not answer: ") +
                                  probe.bus().lastError().message());
    QDBusConnectionInterface* bus = probe.bus().interface();
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    for (const QString& service : keyringServices) {
        if (bus->isServiceRegistered(service).value() ||
            (activatable.isValid() && activatable.value().contains(service)))
            return true;
    }
    return setReason(why, QStringLiteral("no keyring service runs on the session bus"));
}

bool keyringLocked() {
    ProbeConnection probe;
    if (!probe.bus().isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        secretService, QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({QStringLiteral("org.freedesktop.Secret.Collection"), QStringLiteral("Locked")});
    const QDBusMessage reply = probe.bus().call(get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace platform
