#include "secretstore.h"

#include "platform/keyringservice.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>
#include <QTimer>

namespace platform {
namespace {

SecretStore::Status statusOf(QKeychain::Error error) {
    switch (error) {
    case QKeychain::NoError:
        return SecretStore::Status::Ok;
    case QKeychain::EntryNotFound:
        return SecretStore::Status::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return SecretStore::Status::Denied;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return SecretStore::Status::NoKeyring;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError:
        break;
    }
    return SecretStore::Status::Failed;
}

} // namespace

SecretStore::SecretStore(QString service)
    : m_service(std::move(service)) {}

SecretStore::Status SecretStore::read(const QString& key, SecretBytes& secret) {
    secret.clear();
    auto* job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key);
    return run(job, &secret);
}

SecretStore::Status SecretStore::write(const QString& key, const SecretBytes& secret) {
    auto* job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    QByteArray bytes = secret.view().toByteArray();
    job->setBinaryData(bytes);
    SecretBytes::wipe(bytes);
    return run(job, nullptr);
}

SecretStore::Status SecretStore::remove(const QString& key) {
    auto* job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    const Status status = run(job, nullptr);
    return status == Status::NotFound ? Status::Ok : status;
}

SecretStore::Status SecretStore::run(QKeychain::Job* job, SecretBytes* readInto) {
    m_errorText.clear();
    // The keyring library reports a missing service as any other failure; asking the bus first
    // tells the two apart, and spares waiting for a service that is not there.
    QString why;
    if (!keyringServiceReachable(&why)) {
        delete job;
        m_errorText = why;
        return Status::NoKeyring;
    }
    // Never a file of our own in place of the keyring.
    job->setInsecureFallback(false);
    job->setAutoDelete(false);

    QEventLoop loop;
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    job->start();
    timeout.start(m_timeout);
    loop.exec();

    if (!finished) {
        // The keyring may still answer; the job then goes by itself.
        job->setAutoDelete(true);
        m_errorText = QStringLiteral("the keyring did not answer in time");
        return Status::Failed;
    }
    Status status = statusOf(job->error());
    if (status == Status::NotFound && keyringLocked()) {
        status = Status::Denied;
        m_errorText = QStringLiteral("the keyring is locked");
    }
    if (status == Status::Ok && readInto) {
        QByteArray bytes = static_cast<QKeychain::ReadPasswordJob*>(job)->binaryData();
        *readInto = SecretBytes(bytes);
        SecretBytes::wipe(bytes);
    }
    if (status != Status::Ok && m_errorText.isEmpty())
        m_errorText = job->errorString();
    delete job;
    return status;
}

} // namespace platform
