#include "app/singleinstance.h"

#include "app/commandline.h"
#include "app/exitstatus.h"
#include "platform/privatefolder.h"
#include "platform/processlock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>
#include <string>
#include <utility>

namespace wire = singleinstancewire;

namespace {

// A first copy between taking the lock and listening, or between closing its socket and
// ending, is not reachable; a later copy keeps trying that long before it gives up on it.
constexpr int kConnectMs = 10'000;
constexpr int kConnectRetryMs = 100;
// A running copy answers every request from its event loop, which runs during its backups and
// questions too; one that has not answered in 30 s is stopped or hung, and the start that asked
// gives up on it. The exit status of a backup that was accepted may take hours and is awaited
// without a bound, as long as the running copy is there.
constexpr int kFirstAnswerMs = 30'000;
constexpr int kLockPollMs = 250;

const char* shown(const std::filesystem::path& path) {
    thread_local std::string text;
    const std::u8string bytes = path.u8string();
    text.assign(bytes.begin(), bytes.end());
    return text.c_str();
}

std::filesystem::path canonicalFile(const std::filesystem::path& settingsFile) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(settingsFile, error);
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

#ifndef _WIN32
// The bytes of a socket path that every system takes (sun_path less its closing NUL).
constexpr std::size_t kSocketPathBytes = 103;
constexpr int kSocketNameHexDigits = 16;

// Where the first copy listens in `folder`; empty when the path would be too long for a socket.
QString socketIn(const std::filesystem::path& folder, const QString& key) {
    if (folder.empty())
        return {};
    const QString name = key.right(kSocketNameHexDigits) + QStringLiteral(".socket");
    const std::filesystem::path socket = folder / name.toStdString();
    if (socket.native().size() > kSocketPathBytes)
        return {};
    return QFile::decodeName(QByteArray::fromStdString(socket.native()));
}
#endif

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
    const std::filesystem::path canonical = canonicalFile(settingsFile);
#ifdef _WIN32
    // Names differing only in case are one file here.
    const QByteArray bytes = QString::fromStdWString(canonical.native()).toCaseFolded().toUtf8();
#else
    const QByteArray bytes = QByteArray::fromStdString(canonical.native());
#endif
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("Quoralis2005-") + QString::fromLatin1(hash);
}

std::filesystem::path SingleInstance::lockFileFor(const std::filesystem::path& settingsFile) {
    // Beside the settings file, in a folder as private as the settings themselves: found the same
    // way whatever the environment of the start.
    const std::filesystem::path canonical = canonicalFile(settingsFile);
    std::filesystem::path name(".");
    name += canonical.filename();
    name += ".lock";
    return canonical.parent_path() / name;
}

bool SingleInstance::isUnattendedStart(const QStringList& arguments) {
    return CommandLine(arguments).isUnattended();
}

SingleInstance::Role SingleInstance::acquire(const std::filesystem::path& settingsFile) {
    m_key = keyFor(settingsFile);
    m_lock = std::make_unique<platform::ProcessLock>(lockFileFor(settingsFile));
    platform::ProcessLock::Result result = m_lock->tryLock();
    if (result == platform::ProcessLock::Result::Failed) {
        // A settings folder that cannot be written (read-only media), or a lock file another
        // user put there: the lock goes to the one private place that does not depend on the
        // environment of the start.
        const std::filesystem::path folder =
            platform::PrivateFolder::make(platform::PrivateFolder::places().back());
        if (!folder.empty()) {
            m_lock = std::make_unique<platform::ProcessLock>(folder /
                                                             (m_key + QStringLiteral(".lock")).toStdString());
            result = m_lock->tryLock();
        }
    }
    switch (result) {
    case platform::ProcessLock::Result::Locked:
        becomePrimary();
        break;
    case platform::ProcessLock::Result::HeldElsewhere:
        m_role = Role::Secondary;
        break;
    case platform::ProcessLock::Result::Failed:
        qWarning("Cannot use the lock file %s; this copy does not guard its settings file",
                 shown(m_lock->file()));
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
#ifdef _WIN32
    if (!listenOn(m_key))
        qWarning("Later starts cannot reach this copy: %s", qPrintable(m_server->errorString()));
#else
    for (const std::filesystem::path& place : platform::PrivateFolder::places()) {
        const QString name = socketIn(place, m_key);
        if (!name.isEmpty() && !platform::PrivateFolder::make(place).empty() && listenOn(name))
            return;
    }
    if (!listenOn(socketIn(platform::PrivateFolder::makeUnique(), m_key)))
        qWarning("Later starts cannot reach this copy: no socket could be made (%s)",
                 qPrintable(m_server->errorString()));
#endif
}

bool SingleInstance::listenOn(const QString& name) {
    if (name.isEmpty())
        return false;
    // Only the holder of the lock may do this: what is there was left by a copy that was killed.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name))
        return false;
    if (!m_lock->publish(QFile::encodeName(m_server->fullServerName()).toStdString()))
        qWarning("Cannot write to the lock file %s", shown(m_lock->file()));
    return true;
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
        const SingleInstanceReply reply(socket);
        // A start that gave up before it was heard (this copy was stopped meanwhile) asked for nothing.
        if (!reply.isWaiting())
            return;
        wire::write(socket, wire::Answer::Accepted);
        Q_EMIT backupRequested(*arguments, reply);
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

void SingleInstance::withdraw() {
    if (m_withdrawn)
        return;
    // Also as the first copy already: the start that took over learns it was ended.
    m_withdrawn = true;
    // The running copy sees the connection end and makes no backup for this start.
    closeConnection();
    Q_EMIT withdrawing();
}

void SingleInstance::runUnlessWithdrawn(QEventLoop& loop) {
    if (m_withdrawn)
        return;
    connect(this, &SingleInstance::withdrawing, &loop, &QEventLoop::quit);
    loop.exec();
}

void SingleInstance::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    runUnlessWithdrawn(loop);
}

QString SingleInstance::primaryName() const {
    return QFile::decodeName(QByteArray::fromStdString(m_lock->published()));
}

bool SingleInstance::connectTo(const QString& serverName, const QDeadlineTimer& deadline) {
    closeConnection();
    m_connection = new QLocalSocket(this);
    m_connection->connectToServer(serverName);
    if (m_connection->state() == QLocalSocket::ConnectingState) {
        QEventLoop loop;
        connect(m_connection, &QLocalSocket::connected, &loop, &QEventLoop::quit);
        connect(m_connection, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::max<qint64>(deadline.remainingTime(), 0), &loop, &QEventLoop::quit);
        runUnlessWithdrawn(loop);
    }
    return m_connection && m_connection->state() == QLocalSocket::ConnectedState;
}

SingleInstance::Connect SingleInstance::connectToPrimary() {
    const QDeadlineTimer deadline(kConnectMs);
    for (;;) {
        const QString name = primaryName();
        if (!name.isEmpty() && connectTo(name, deadline))
            return Connect::Connected;
        closeConnection();
        if (m_withdrawn)
            return Connect::Failed;
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

std::optional<wire::Message> SingleInstance::awaitAnswer(int timeoutMs) {
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (timeoutMs >= 0)
        limit.start(timeoutMs);
    for (;;) {
        if (!m_connection)
            return std::nullopt;
        if (auto message = wire::readAnswer(m_connection))
            return message;
        if (m_withdrawn || m_connection->state() != QLocalSocket::ConnectedState ||
            (timeoutMs >= 0 && !limit.isActive()))
            return std::nullopt;
        connect(m_connection, &QLocalSocket::readyRead, &loop, &QEventLoop::quit, Qt::UniqueConnection);
        connect(m_connection, &QLocalSocket::disconnected, &loop, &QEventLoop::quit, Qt::UniqueConnection);
        connect(m_connection, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit, Qt::UniqueConnection);
        runUnlessWithdrawn(loop);
    }
}

SingleInstance::Forwarded SingleInstance::takeOverOr(Outcome otherwise) {
    closeConnection();
    if (m_withdrawn)
        return {Outcome::Withdrawn, ExitStatus::BackupIncomplete};
    if (m_lock->tryLock() == platform::ProcessLock::Result::Locked) {
        becomePrimary();
        return {Outcome::BecamePrimary};
    }
    return {otherwise, ExitStatus::BackupIncomplete};
}

SingleInstance::Forwarded SingleInstance::forward(const QStringList& arguments) {
    if (m_role != Role::Secondary)
        return {Outcome::NotAnswered, ExitStatus::BackupIncomplete};
    for (;;) {
        switch (connectToPrimary()) {
        case Connect::Connected:
            break;
        case Connect::BecamePrimary:
            return {Outcome::BecamePrimary};
        case Connect::Failed:
            return takeOverOr(Outcome::NotAnswered);
        }
        wire::writeRequest(m_connection, arguments);
        std::optional<wire::Message> answer = awaitAnswer(kFirstAnswerMs);
        if (answer && answer->answer == wire::Answer::BusyUnattended)
            return {Outcome::PrimaryUnattended}; // the connection stays to hear when to ask again
        if (answer && answer->answer == wire::Answer::Activated) {
            closeConnection();
            return {Outcome::Handed};
        }
        if (answer && answer->answer == wire::Answer::Accepted)
            answer = awaitAnswer(-1);
        if (answer && answer->answer == wire::Answer::Status) {
            closeConnection();
            return {Outcome::Finished, answer->status};
        }
        // The running copy went away without answering (it was killed, say): whoever runs now
        // is asked, or this copy makes the backup itself.
        if (!m_withdrawn && m_connection && m_connection->state() != QLocalSocket::ConnectedState)
            continue;
        // It is there and does not answer.
        return takeOverOr(Outcome::NotAnswered);
    }
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
        if (m_withdrawn)
            return Wait::Withdrawn;
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
        runUnlessWithdrawn(loop);
    }
}

void SingleInstance::closeConnection() {
    if (!m_connection)
        return;
    m_connection->abort();
    delete m_connection;
    m_connection = nullptr;
}
