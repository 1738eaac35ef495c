#include "app/singleinstance.h"

#include "app/commandline.h"
#include "app/exitstatus.h"
#include "app/singleinstancewire.h"
#include "platform/processlock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <utility>

namespace wire = singleinstancewire;

namespace {

// A first copy between taking the lock and listening, or between closing its socket and
// ending, is not reachable; a later copy keeps trying that long.
constexpr int kConnectMs = 10'000;
constexpr int kConnectRetryMs = 100;
// Every request is answered at once; the exit status of a backup may take hours.
constexpr int kFirstAnswerMs = 30'000;
constexpr int kLockPollMs = 250;

std::filesystem::path runtimeFolder() {
#ifdef _WIN32
    return std::filesystem::path(QDir::tempPath().toStdWString());
#else
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    std::error_code error;
    if (!runtime.isEmpty() && std::filesystem::is_directory(runtime.toStdString(), error))
        return runtime.toStdString();
    return QFile::encodeName(QDir::tempPath()).toStdString();
#endif
}

QString serverNameIn(const std::filesystem::path& folder, const QString& key) {
#ifdef _WIN32
    Q_UNUSED(folder);
    return key;
#else
    return QFile::decodeName(
        QByteArray::fromStdString((folder / (key + QStringLiteral(".socket")).toStdString())));
#endif
}

std::optional<wire::Message> awaitAnswer(QLocalSocket* socket, int timeoutMs) {
    QEventLoop loop;
    QObject::connect(socket, &QLocalSocket::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (timeoutMs >= 0)
        limit.start(timeoutMs);
    for (;;) {
        if (auto message = wire::readAnswer(socket))
            return message;
        if (socket->state() != QLocalSocket::ConnectedState || (timeoutMs >= 0 && !limit.isActive()))
            return std::nullopt;
        loop.exec();
    }
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent) {}

SingleInstance::~SingleInstance() {
    // The socket goes before the lock: once the lock is free, the socket name belongs to the
    // next first copy, and closing a server removes its socket file by name.
    delete m_server;
    m_server = nullptr;
    closeConnection();
}

QString SingleInstance::keyFor(const std::filesystem::path& settingsFile) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(settingsFile, error);
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    if (error)
        canonical = absolute.lexically_normal();
#ifdef _WIN32
    // Names differing only in case are one file here.
    const QByteArray bytes = QString::fromStdWString(canonical.native()).toCaseFolded().toUtf8();
#else
    const QByteArray bytes = QByteArray::fromStdString(canonical.native());
#endif
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("Quoralis2005-") + QString::fromLatin1(hash);
}

bool SingleInstance::isUnattendedStart(const QStringList& arguments) {
    return CommandLine(arguments).isUnattended();
}

SingleInstance::Role SingleInstance::acquire(const std::filesystem::path& settingsFile) {
    const QString key = keyFor(settingsFile);
    const std::filesystem::path folder = runtimeFolder();
    m_serverName = serverNameIn(folder, key);
    m_lock = std::make_unique<platform::ProcessLock>(folder / (key + QStringLiteral(".lock")).toStdString());
    switch (m_lock->tryLock()) {
    case platform::ProcessLock::Result::Locked:
        becomePrimary();
        break;
    case platform::ProcessLock::Result::HeldElsewhere:
        m_role = Role::Secondary;
        break;
    case platform::ProcessLock::Result::Failed:
        qWarning("Cannot use the lock file %s; this copy does not guard its settings file",
                 reinterpret_cast<const char*>(m_lock->file().u8string().c_str()));
        m_role = Role::Unguarded;
        break;
    }
    return m_role;
}

void SingleInstance::becomePrimary() {
    m_role = Role::Primary;
    closeConnection();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    // Only the holder of the lock may do this: what is there was left by a copy that was killed.
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName))
        qWarning("Cannot listen on %s: %s", qPrintable(m_serverName), qPrintable(m_server->errorString()));
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void SingleInstance::readRequest(QLocalSocket* socket) {
    const std::optional<QStringList> arguments = wire::readRequest(socket);
    if (!arguments)
        return;
    disconnect(socket, nullptr, this, nullptr); // one request per connection
    if (!isUnattendedStart(*arguments)) {
        wire::write(socket, wire::Answer::Activated);
        socket->disconnectFromServer();
        Q_EMIT activationRequested(*arguments);
    } else if (m_unattended) {
        wire::write(socket, wire::Answer::BusyUnattended);
        m_waitingForEnd.append(socket);
    } else {
        wire::write(socket, wire::Answer::Accepted);
        Q_EMIT backupRequested(*arguments, SingleInstanceReply(socket));
    }
}

void SingleInstance::setUnattendedRun(bool unattended) {
    m_unattended = unattended;
    if (unattended)
        return;
    for (const QPointer<QLocalSocket>& socket : std::exchange(m_waitingForEnd, {})) {
        if (!socket || socket->state() != QLocalSocket::ConnectedState)
            continue;
        wire::write(socket, wire::Answer::Ready);
        socket->disconnectFromServer();
    }
}

SingleInstance::Connect SingleInstance::connectToPrimary() {
    const QDeadlineTimer deadline(kConnectMs);
    for (;;) {
        closeConnection();
        m_connection = new QLocalSocket(this);
        m_connection->connectToServer(m_serverName);
        if (m_connection->state() == QLocalSocket::ConnectingState) {
            QEventLoop loop;
            connect(m_connection, &QLocalSocket::connected, &loop, &QEventLoop::quit);
            connect(m_connection, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
            QTimer::singleShot(std::max<qint64>(deadline.remainingTime(), 0), &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (m_connection->state() == QLocalSocket::ConnectedState)
            return Connect::Connected;
        switch (m_lock->tryLock()) {
        case platform::ProcessLock::Result::Locked:
            becomePrimary();
            return Connect::BecamePrimary;
        case platform::ProcessLock::Result::Failed:
            return Connect::Failed;
        case platform::ProcessLock::Result::HeldElsewhere:
            break;
        }
        if (deadline.hasExpired())
            return Connect::Failed;
        pause(kConnectRetryMs);
    }
}

SingleInstance::Forwarded SingleInstance::forward(const QStringList& arguments) {
    const Forwarded failed{Outcome::Failed, ExitStatus::BackupNotMade};
    if (m_role != Role::Secondary)
        return failed;
    switch (connectToPrimary()) {
    case Connect::Connected:
        break;
    case Connect::BecamePrimary:
        return {Outcome::BecamePrimary};
    case Connect::Failed:
        closeConnection();
        return failed;
    }
    wire::writeRequest(m_connection, arguments);
    const std::optional<wire::Message> first = awaitAnswer(m_connection, kFirstAnswerMs);
    if (first && first->answer == wire::Answer::BusyUnattended)
        return {Outcome::PrimaryUnattended}; // the connection stays to hear when to ask again
    if (first && first->answer == wire::Answer::Activated) {
        closeConnection();
        return {Outcome::Handed};
    }
    if (first && first->answer == wire::Answer::Accepted) {
        const std::optional<wire::Message> done = awaitAnswer(m_connection, -1);
        closeConnection();
        if (done && done->answer == wire::Answer::Status)
            return {Outcome::Finished, done->status};
    }
    closeConnection();
    return failed;
}

SingleInstance::Wait SingleInstance::waitForPrimaryToEnd() {
    if (m_role != Role::Secondary)
        return m_role == Role::Primary ? Wait::BecamePrimary : Wait::Failed;
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(kLockPollMs);
    if (m_connection) {
        connect(m_connection, &QLocalSocket::readyRead, &loop, &QEventLoop::quit);
        connect(m_connection, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    }
    for (;;) {
        if (m_connection) {
            const std::optional<wire::Message> message = wire::readAnswer(m_connection);
            if (message && message->answer == wire::Answer::Ready) {
                closeConnection();
                return Wait::PrimaryReady;
            }
        }
        switch (m_lock->tryLock()) {
        case platform::ProcessLock::Result::Locked:
            becomePrimary();
            return Wait::BecamePrimary;
        case platform::ProcessLock::Result::Failed:
            closeConnection();
            return Wait::Failed;
        case platform::ProcessLock::Result::HeldElsewhere:
            break;
        }
        loop.exec();
    }
}

void SingleInstance::closeConnection() {
    if (!m_connection)
        return;
    m_connection->abort();
    delete m_connection;
    m_connection = nullptr;
}
