#include "platform/keyringservice.h"
#include "platform/secretstore.h"
#include "privatesecretservice.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::SecretBytes;
using platform::SecretStore;

namespace {

// A password with bytes that text handling would mangle: a non-ASCII letter and a NUL.
const QByteArray firstPassword("p\xc3\xa4ss\0word one", 15);
const QByteArray secondPassword("second password, longer than the first");

QByteArray readBack(SecretStore& store, const QString& key, SecretStore::Status expected) {
    SecretBytes secret;
    const SecretStore::Status status = store.read(key, secret);
    if (status != expected)
        qWarning("read %s: status %d, %s", qPrintable(key), int(status), qPrintable(store.errorText()));
    return status == expected ? secret.view().toByteArray() : QByteArray("<status differs>");
}

} // namespace

// The real Secret Service on a private session bus; first with no service there at all. The
// keyring library keeps its first connection to the session bus for the process's lifetime, so
// one bus serves every case.
class SecretStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void noKeyringServiceOnTheBus();
    void noSessionBusAtAll();
    void serviceThatNeverAnswersEndsInFailure();
    void storesReadsOverwritesAndDeletes();
    void eachProgramSeesOnlyItsOwnPasswords();
    void passwordIsNeverInClearInTheKeyringFiles();
    void lockedKeyringIsDenied();

private:
    PrivateSecretService m_service;
};

void SecretStoreTest::initTestCase() {
    if (const QString missing = PrivateSecretService::missingTool(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(m_service.startBus(), qPrintable(m_service.error()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_service.address());
}

void SecretStoreTest::noKeyringServiceOnTheBus() {
    SecretStore store;
    // Were the store to wait for the keyring instead, it would end in Failed, not NoKeyring.
    store.setTimeout(std::chrono::seconds(20));
    SecretBytes secret;
    QCOMPARE(store.read(QStringLiteral("profile"), secret), SecretStore::Status::NoKeyring);
    QVERIFY(secret.isEmpty());
    QVERIFY(!store.errorText().isEmpty());
    QCOMPARE(store.write(QStringLiteral("profile"), SecretBytes(firstPassword)),
             SecretStore::Status::NoKeyring);
    QCOMPARE(store.remove(QStringLiteral("profile")), SecretStore::Status::NoKeyring);
}

void SecretStoreTest::noSessionBusAtAll() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir emptyRuntime;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", emptyRuntime.path().toUtf8());
    QString why;
    const bool reachable = platform::keyringServiceReachable(&why);
    SecretStore store;
    SecretBytes secret;
    const SecretStore::Status status = store.read(QStringLiteral("profile"), secret);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
    QVERIFY(!reachable);
    QVERIFY(!why.isEmpty());
    QCOMPARE(status, SecretStore::Status::NoKeyring);
}

void SecretStoreTest::serviceThatNeverAnswersEndsInFailure() {
    QVERIFY2(m_service.startSilentService(), qPrintable(m_service.error()));
    SecretStore store;
    store.setTimeout(std::chrono::seconds(1));
    SecretBytes secret;
    const SecretStore::Status status = store.read(QStringLiteral("profile"), secret);
    const QString errorText = store.errorText();
    QVERIFY(m_service.stopSilentService());
    QCOMPARE(status, SecretStore::Status::Failed);
    QCOMPARE(errorText, QStringLiteral("the keyring did not answer in time"));
    QVERIFY(secret.isEmpty());
}

void SecretStoreTest::storesReadsOverwritesAndDeletes() {
    QVERIFY2(m_service.startKeyring("unlock the test keyring"), qPrintable(m_service.error()));
    QVERIFY(platform::keyringServiceReachable());
    SecretStore store;
    const QString daily = QStringLiteral("Daily backup");
    const QString weekly = QStringLiteral("Wöchentlich");

    QCOMPARE(readBack(store, daily, SecretStore::Status::NotFound), QByteArray());
    QCOMPARE(store.write(daily, SecretBytes(firstPassword)), SecretStore::Status::Ok);
    QCOMPARE(readBack(store, daily, SecretStore::Status::Ok), firstPassword);

    QCOMPARE(store.write(daily, SecretBytes(secondPassword)), SecretStore::Status::Ok);
    QCOMPARE(store.write(weekly, SecretBytes(firstPassword)), SecretStore::Status::Ok);
    QCOMPARE(readBack(store, daily, SecretStore::Status::Ok), secondPassword);
    QCOMPARE(readBack(store, weekly, SecretStore::Status::Ok), firstPassword);

    QCOMPARE(store.remove(daily), SecretStore::Status::Ok);
    QCOMPARE(readBack(store, daily, SecretStore::Status::NotFound), QByteArray());
    QCOMPARE(readBack(store, weekly, SecretStore::Status::Ok), firstPassword);
    QCOMPARE(store.remove(daily), SecretStore::Status::Ok);
}

void SecretStoreTest::eachProgramSeesOnlyItsOwnPasswords() {
    SecretStore ours;
    SecretStore other(QStringLiteral("Another program"));
    const QString key = QStringLiteral("shared name");
    QCOMPARE(ours.write(key, SecretBytes(firstPassword)), SecretStore::Status::Ok);
    QCOMPARE(readBack(other, key, SecretStore::Status::NotFound), QByteArray());
    QCOMPARE(other.write(key, SecretBytes(secondPassword)), SecretStore::Status::Ok);
    QCOMPARE(readBack(ours, key, SecretStore::Status::Ok), firstPassword);
    QCOMPARE(other.remove(key), SecretStore::Status::Ok);
    QCOMPARE(readBack(ours, key, SecretStore::Status::Ok), firstPassword);
}

void SecretStoreTest::passwordIsNeverInClearInTheKeyringFiles() {
    const QByteArray password("clear-text-canary 8c1f5e2a");
    SecretStore store;
    QCOMPARE(store.write(QStringLiteral("canary"), SecretBytes(password)), SecretStore::Status::Ok);
    QCOMPARE(readBack(store, QStringLiteral("canary"), SecretStore::Status::Ok), password);

    const QByteArray utf16(reinterpret_cast<const char*>(QString::fromLatin1(password).utf16()),
                           password.size() * 2);
    const QList<QByteArray> forms{password, password.toBase64(), utf16};
    int filesRead = 0;
    QDirIterator files(m_service.filesRoot(), QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue; // sockets
        const QByteArray content = file.readAll();
        ++filesRead;
        for (const QByteArray& form : forms)
            QVERIFY2(!content.contains(form), qPrintable(file.fileName()));
    }
    // The keyring file is there: the search looked where the password went.
    QVERIFY(QFile::exists(m_service.filesRoot() + QStringLiteral("/data/keyrings/login.keyring")));
    QVERIFY(filesRead >= 2);
}

void SecretStoreTest::lockedKeyringIsDenied() {
    SecretStore store;
    QCOMPARE(store.write(QStringLiteral("locked"), SecretBytes(firstPassword)), SecretStore::Status::Ok);
    QVERIFY2(m_service.lockKeyrings(), qPrintable(m_service.error()));
    store.setTimeout(std::chrono::seconds(30));
    SecretBytes secret;
    const SecretStore::Status read = store.read(QStringLiteral("locked"), secret);
    // The keyring cannot ask for its password here and answers as if nothing were stored.
    QCOMPARE(read, SecretStore::Status::Denied);
    QVERIFY(secret.isEmpty());
    const SecretStore::Status written = store.write(QStringLiteral("locked"), SecretBytes(secondPassword));
    QCOMPARE(written, SecretStore::Status::Denied);
}

QTEST_GUILESS_MAIN(SecretStoreTest)
#include "tst_secretstore.moc"
