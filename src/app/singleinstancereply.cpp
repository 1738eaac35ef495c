#include "app/singleinstancereply.h"

#include "app/singleinstancewire.h"

#ifndef _WIN32
#include <cerrno>
#include <sys/socket.h>
#endif

SingleInstanceReply::SingleInstanceReply(QLocalSocket* socket)
    : m_socket(socket) {}

void SingleInstanceReply::send(int exitStatus) const {
    if (!isWaiting())
        return;
    singleinstancewire::write(m_socket, singleinstancewire::Answer::Status, exitStatus);
    m_socket->disconnectFromServer();
}

bool SingleInstanceReply::isWaiting() const {
    if (!m_socket || m_socket->state() != QLocalSocket::ConnectedState)
        return false;
#ifndef _WIN32
    // A start that gave up has closed its end, which the socket learns only from the event loop:
    // the system is asked now. It sends nothing after its request, so an end of data (or a reset
    // connection) is its going.
    char next = 0;
    const auto peeked = ::recv(int(m_socket->socketDescriptor()), &next, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        return false;
#endif
    return true;
}
