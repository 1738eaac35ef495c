#pragma once

#include <QDataStream>
#include <QLocalSocket>
#include <QStringList>

#include <optional>

// What the copies of the program say to each other over their local socket. A starting copy
// sends its command line; the running copy answers once at once, and once more with the exit
// status when it took over a backup.
namespace singleinstancewire {

enum class Answer : qint32 {
    Activated = 1,      // an interactive start: the running copy comes forward
    Accepted = 2,       // an unattended start: its backup runs here, the status follows
    BusyUnattended = 3, // the running copy is itself an unattended run; wait for its end
    Ready = 4,          // the running copy's unattended run became interactive; ask again
    Status = 5,         // the backup asked for has ended, with this exit status
};

struct Message {
    Answer answer;
    int status = 0;
};

inline void setUp(QDataStream& stream) {
    stream.setVersion(QDataStream::Qt_6_0);
}

inline void write(QLocalSocket* socket, Answer answer, int status = 0) {
    QDataStream out(socket);
    setUp(out);
    out << static_cast<qint32>(answer) << static_cast<qint32>(status);
    socket->flush();
}

inline void writeRequest(QLocalSocket* socket, const QStringList& arguments) {
    QDataStream out(socket);
    setUp(out);
    out << arguments;
    socket->flush();
}

// Nothing until a whole request has arrived.
inline std::optional<QStringList> readRequest(QLocalSocket* socket) {
    QDataStream in(socket);
    setUp(in);
    in.startTransaction();
    QStringList arguments;
    in >> arguments;
    if (!in.commitTransaction())
        return std::nullopt;
    return arguments;
}

inline std::optional<Message> readAnswer(QLocalSocket* socket) {
    QDataStream in(socket);
    setUp(in);
    in.startTransaction();
    qint32 answer = 0;
    qint32 status = 0;
    in >> answer >> status;
    if (!in.commitTransaction())
        return std::nullopt;
    return Message{static_cast<Answer>(answer), status};
}

} // namespace singleinstancewire
