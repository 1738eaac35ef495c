#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A session bus of its own for a test, with no services to start on demand, and on it when asked
// the desktop's real Secret Service (gnome-keyring-daemon) keeping its keyrings in the test's own
// home and XDG folders. Both processes end with this object, or with the test process.
class PrivateSecretService {
public:
    PrivateSecretService();
    ~PrivateSecretService();
    PrivateSecretService(const PrivateSecretService&) = delete;
    PrivateSecretService& operator=(const PrivateSecretService&) = delete;

    // What is not installed for it to run (a reason to skip), or empty.
    static QString missingTool();

    bool startBus();
    // Takes the Secret Service's name on the bus with a process that never answers, as a service
    // that hangs would; stopSilentService() ends it and waits until the name is free.
    bool startSilentService();
    bool stopSilentService();
    // Starts the keyring daemon, which makes and unlocks the login keyring with `unlockPassword`.
    bool startKeyring(const QByteArray& unlockPassword);
    // Locks every keyring, as the desktop does after a while or when the screen locks.
    bool lockKeyrings();
    // Why the last call that returned false failed.
    QString error() const { return m_error; }

    QByteArray address() const { return m_address; }
    // The folder that holds the home and XDG folders the keyring writes to.
    QString filesRoot() const { return m_root.path(); }

private:
    bool fail(const QString& text);

    QTemporaryDir m_root;
    QProcess m_bus;
    QProcess m_keyring;
    QProcess m_silent;
    QByteArray m_address;
    QString m_connectionName;
    QString m_error;
};
