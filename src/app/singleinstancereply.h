#pragma once

#include <QPointer>

class QLocalSocket;

// The way back to a starting copy that handed its unattended backup to the running copy:
// send() gives it the exit status to end with. Copies share the connection; the first send()
// counts, and a send() after the starting copy has gone does nothing.
class SingleInstanceReply {
public:
    SingleInstanceReply() = default;
    explicit SingleInstanceReply(QLocalSocket* socket);

    void send(int exitStatus) const;
    // Whether the starting copy still waits for the status.
    bool isWaiting() const;

private:
    QPointer<QLocalSocket> m_socket;
};
