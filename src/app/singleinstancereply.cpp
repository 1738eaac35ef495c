#include "app/singleinstancereply.h"

#include "app/singleinstancewire.h"

SingleInstanceReply::SingleInstanceReply(QLocalSocket* socket)
    : m_socket(socket) {}

void SingleInstanceReply::send(int exitStatus) const {
    if (!isWaiting())
        return;
    singleinstancewire::write(m_socket, singleinstancewire::Answer::Status, exitStatus);
    m_socket->disconnectFromServer();
}

bool SingleInstanceReply::isWaiting() const {
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}
