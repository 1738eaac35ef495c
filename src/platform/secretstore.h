#pragma once

#include "platform/secretbytes.h"

#include <QString>

#include <chrono>

namespace QKeychain {
class Job;
}

namespace platform {

// Passwords kept in the desktop's keyring (the Secret Service on Linux, the credential store on
// Windows), one per key, under the program's name. Every call waits for the keyring in a local
// event loop, so it can be made from the GUI thread while windows stay responsive.
class SecretStore {
public:
    enum class Status {
        Ok,
        // The keyring holds no password for the key.
        NotFound,
        // The desktop has no keyring service at all: nothing can be kept.
        NoKeyring,
        // The keyring is there but stays locked, or the user refused access.
        Denied,
        // Anything else, the keyring's not answering in time included (see errorText()).
        Failed,
    };

    explicit SecretStore(QString service = QStringLiteral("Quoralis2005"));

    // How long a call waits for the keyring, which may ask the user to unlock it first.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    // The password kept for `key`, empty unless the status is Ok.
    Status read(const QString& key, SecretBytes& secret);
    // Keeps `secret` for `key`, replacing what was there.
    Status write(const QString& key, const SecretBytes& secret);
    // Forgets the password for `key`; Ok also when there was none.
    Status remove(const QString& key);

    // What the keyring said about the last call that did not succeed; never holds a password.
    QString errorText() const { return m_errorText; }

private:
    // Runs a job to its end (or the timeout) and tells what came of it; the job is gone after.
    Status run(QKeychain::Job* job, SecretBytes* readInto);

    QString m_service;
    std::chrono::milliseconds m_timeout{std::chrono::minutes(2)};
    QString m_errorText;
};

} // namespace platform
