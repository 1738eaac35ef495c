#include "privatesecretservice.h"

#include "helperprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString secretService = QStringLiteral("org.freedesktop.secrets");
const QString secretPath = QStringLiteral("/org/freedesktop/secrets");
const QString busDaemon = QStringLiteral("/usr/bin/dbus-daemon");
const QString keyringDaemon = QStringLiteral("/usr/bin/gnome-keyring-daemon");
// Debian's interpreter, where python3-dbus is installed (not one found first on PATH).
const QString python = QStringLiteral("/usr/bin/python3");
constexpr int startTimeoutMs = 15000;

// The standard session bus without the folders of services started on demand: nothing comes up
// on this bus unless the test starts it.
const char busConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateSecretService::PrivateSecretService()
    : m_connectionName(QStringLiteral("privatesecretservice-%1").arg(quintptr(this), 0, 16)) {
    helperprocess::endWithParent(m_bus);
    helperprocess::endWithParent(m_keyring);
    helperprocess::endWithParent(m_silent);
}

PrivateSecretService::~PrivateSecretService() {
    QDBusConnection::disconnectFromBus(m_connectionName);
    helperprocess::stop(m_silent);
    helperprocess::stop(m_keyring);
    helperprocess::stop(m_bus);
}

QString PrivateSecretService::missingTool() {
    if (!QFileInfo(busDaemon).isExecutable())
        return QStringLiteral("dbus-daemon is not installed (package dbus-daemon)");
    if (!QFileInfo(keyringDaemon).isExecutable())
        return QStringLiteral("gnome-keyring-daemon is not installed (package gnome-keyring)");
    return QString();
}

bool PrivateSecretService::fail(const QString& text) {
    m_error = text;
    return false;
}

bool PrivateSecretService::startBus() {
    if (!m_root.isValid())
        return fail(QStringLiteral("no temporary folder"));
    QFile config(m_root.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly) || config.write(busConfig) != qint64(sizeof busConfig - 1))
        return fail(QStringLiteral("cannot write the bus configuration"));
    config.close();
    m_bus.start(busDaemon, {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted())
        return fail(QStringLiteral("dbus-daemon did not start: ") + m_bus.errorString());
    if (!QTest::qWaitFor([this] { return m_bus.canReadLine(); }, startTimeoutMs))
        return fail(QStringLiteral("dbus-daemon printed no address"));
    m_address = m_bus.readLine().trimmed();
    const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(m_address), m_connectionName);
    if (!bus.isConnected())
        return fail(QStringLiteral("cannot connect to the private bus: ") + bus.lastError().message());
    return true;
}

bool PrivateSecretService::startSilentService() {
    // Owns the name, then never reads the bus again.
    const QString script = QStringLiteral("import dbus, sys, time\n"
                                          "bus = dbus.bus.BusConnection(sys.argv[1])\n"
                                          "bus.request_name('org.freedesktop.secrets')\n"
                                          "time.sleep(3600)\n");
    m_silent.start(python, {QStringLiteral("-c"), script, QString::fromUtf8(m_address)});
    if (!m_silent.waitForStarted())
        return fail(QStringLiteral("python3 did not start: ") + m_silent.errorString());
    const QDBusConnection bus(m_connectionName);
    const bool registered = QTest::qWaitFor(
        [&] {
            return m_silent.state() != QProcess::Running ||
                   bus.interface()->isServiceRegistered(secretService).value();
        },
        startTimeoutMs);
    if (!registered || m_silent.state() != QProcess::Running)
        return fail(QStringLiteral("the silent service did not take its name (is python3-dbus installed?)"));
    return true;
}

bool PrivateSecretService::stopSilentService() {
    helperprocess::stop(m_silent);
    const QDBusConnection bus(m_connectionName);
    return QTest::qWaitFor([&] { return !bus.interface()->isServiceRegistered(secretService).value(); },
                           startTimeoutMs);
}

bool PrivateSecretService::startKeyring(const QByteArray& unlockPassword) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(m_address));
    const QDir root(m_root.path());
    for (const auto& [variable, folder] : {std::pair{"HOME", "home"},
                                           {"XDG_DATA_HOME", "data"},
                                           {"XDG_CONFIG_HOME", "config"},
                                           {"XDG_CACHE_HOME", "cache"},
                                           {"XDG_RUNTIME_DIR", "runtime"}}) {
        const QString path = root.filePath(QString::fromLatin1(folder));
        if (!root.mkpath(path) ||
            !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return fail(QStringLiteral("cannot make ") + path);
        environment.insert(QString::fromLatin1(variable), path);
    }
    m_keyring.setProcessEnvironment(environment);
    m_keyring.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_keyring.setStandardOutputFile(QProcess::nullDevice());
    m_keyring.start(keyringDaemon, {QStringLiteral("--foreground"), QStringLiteral("--components=secrets"),
                                    QStringLiteral("--unlock")});
    if (!m_keyring.waitForStarted())
        return fail(QStringLiteral("gnome-keyring-daemon did not start: ") + m_keyring.errorString());
    // The daemon reads the unlock password up to the end of its input.
    m_keyring.write(unlockPassword);
    m_keyring.closeWriteChannel();

    const QDBusConnection bus(m_connectionName);
    const bool registered = QTest::qWaitFor(
        [&] {
            return m_keyring.state() != QProcess::Running ||
                   bus.interface()->isServiceRegistered(secretService).value();
        },
        startTimeoutMs);
    if (!registered || m_keyring.state() != QProcess::Running)
        return fail(QStringLiteral("gnome-keyring-daemon did not come up on the bus"));
    return true;
}

bool PrivateSecretService::lockKeyrings() {
    const QDBusConnection bus(m_connectionName);
    QDBusMessage get = QDBusMessage::createMethodCall(
        secretService, secretPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Collections")});
    const QDBusMessage collections = bus.call(get);
    if (collections.type() != QDBusMessage::ReplyMessage)
        return fail(collections.errorMessage());
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(
        collections.arguments().constFirst().value<QDBusVariant>().variant());
    QDBusMessage lock = QDBusMessage::createMethodCall(
        secretService, secretPath, QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
    lock.setArguments({QVariant::fromValue(paths)});
    const QDBusMessage locked = bus.call(lock);
    if (locked.type() != QDBusMessage::ReplyMessage)
        return fail(locked.errorMessage());
    return true;
}
