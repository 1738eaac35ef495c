#pragma once

#include "app/singleinstancereply.h"
#include "app/singleinstancewire.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <optional>

class QDeadlineTimer;
class QLocalServer;
class QLocalSocket;
class QEventLoop;

namespace platform {
class ProcessLock;
}

// One copy of the program per settings file. The first copy holds the lock on a file beside the
// settings file (the same one however the program was started; in a private folder of the user's
// in /tmp when the settings folder cannot be written) and listens on a local socket in a
// folder only the user can write; the lock file says where that socket is. A later copy hands its
// command line over that socket and ends. The system drops the lock of a copy that was killed, and
// the next first copy replaces the socket it left behind.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Unguarded, // no lock file can be used: run as before
        Primary,
        Secondary,
    };
    enum class Outcome {
        Handed,            // an interactive start went to the running copy; end with 0
        Finished,          // the running copy made the backup; end with exitStatus
        PrimaryUnattended, // the running copy is a scheduled run itself: waitForPrimaryToEnd()
        BecamePrimary,     // the running copy ended meanwhile; this copy starts as the first
        NotAnswered,       // a running copy holds the lock but did not answer; end with exitStatus
        Withdrawn,         // this start was ended while it waited; end with exitStatus
    };
    struct Forwarded {
        Outcome outcome;
        int exitStatus = 0;
    };
    enum class Wait {
        BecamePrimary, // the running copy ended and this copy holds the lock
        PrimaryReady,  // the running copy is interactive again: forward() once more
        Failed,        // the lock cannot be used any more
        Withdrawn,
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    Role acquire(const std::filesystem::path& settingsFile);
    Role role() const { return m_role; }

    // A start that nobody watches: "/autoclose" or "/autoshutdown" as the first argument.
    static bool isUnattendedStart(const QStringList& arguments);

    // As the first copy: whether this run is itself unattended. While it is, later unattended
    // starts are told to wait for its end; when it stops being so, those waiting ask again.
    void setUnattendedRun(bool unattended);

    // As a later copy: hands the command line (without the program) to the running copy.
    // Runs an event loop until the running copy has answered as far as the outcome needs.
    Forwarded forward(const QStringList& arguments);
    // After Outcome::PrimaryUnattended: runs an event loop until the running copy has ended
    // (this copy then holds the lock and listens) or tells that it may be asked again.
    Wait waitForPrimaryToEnd();

    // The start was ended while it handed over. Its request is withdrawn (the running copy makes
    // no backup for it) and forward() or waitForPrimaryToEnd() returns.
    void withdraw();
    bool isWithdrawn() const { return m_withdrawn; }

    // The same for every spelling of the settings file's path; names the socket.
    static QString keyFor(const std::filesystem::path& settingsFile);
    static std::filesystem::path lockFileFor(const std::filesystem::path& settingsFile);

Q_SIGNALS:
    // An interactive start of a later copy: come forward.
    void activationRequested(const QStringList& arguments);
    // An unattended start of a later copy: make its backup once the current one (if any) has
    // ended, then answer through the reply; that copy ends with the status sent.
    void backupRequested(const QStringList& arguments, const SingleInstanceReply& reply);
    // withdraw() was called: the event loops of the hand-over end.
    void withdrawing();

private:
    enum class Connect { Connected, BecamePrimary, Failed };

    void becomePrimary();
    // Listens on the socket path `name` and says so in the lock file; false for an empty name.
    bool listenOn(const QString& name);
    void acceptConnections();
    void readRequest(QLocalSocket* socket);
    Connect connectToPrimary();
    bool connectTo(const QString& serverName, const QDeadlineTimer& deadline);
    // The name the running copy can be reached by; empty while it has none.
    QString primaryName() const;
    // Runs `loop` until it quits or this start is withdrawn.
    void runUnlessWithdrawn(QEventLoop& loop);
    std::optional<singleinstancewire::Message> awaitAnswer(int timeoutMs);
    void pause(int ms);
    // When the running copy went away or did not answer: this copy runs as the first if the
    // lock is free now.
    Forwarded takeOverOr(Outcome otherwise);
    void closeConnection();

    Role m_role = Role::Unguarded;
    bool m_unattended = false;
    bool m_withdrawn = false;
    QString m_key;
    std::unique_ptr<platform::ProcessLock> m_lock;
    QLocalServer* m_server = nullptr;
    QLocalSocket* m_connection = nullptr;
    QList<QPointer<QLocalSocket>> m_waitingForEnd;
};
