#include "loopbackhttpserver.h"

#include <QTcpServer>
#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer()
    : m_server(new QTcpServer(this)) {
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onConnection);
    answerWith(200, "OK");
}

quint16 LoopbackHttpServer::port() const {
    return m_server->serverPort();
}

QString LoopbackHttpServer::address() const {
    return QStringLiteral("127.0.0.1:") + QString::number(port());
}

QString LoopbackHttpServer::url(const QString& pathAndQuery) const {
    return QStringLiteral("http://") + address() + pathAndQuery;
}

void LoopbackHttpServer::answerWith(int status, const QByteArray& body, bool withContentLength) {
    QByteArray response =
        "HTTP/1.0 " + QByteArray::number(status) + " Status\r\nContent-Type: text/plain\r\n";
    if (withContentLength)
        response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "\r\n" + body;
    m_response = response;
}

void LoopbackHttpServer::onConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setProperty("head", QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
    }
}

void LoopbackHttpServer::onReadable(QTcpSocket* socket) {
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0 || socket->property("done").toBool())
        return;
    socket->setProperty("done", true);
    requests.append(head.left(end + 2));
    if (m_silent)
        return;
    socket->write(m_response);
    socket->disconnectFromHost();
}

QByteArray LoopbackHttpServer::requestLine(const QByteArray& request) {
    return request.left(request.indexOf("\r\n"));
}

QByteArray LoopbackHttpServer::header(const QByteArray& request, const QByteArray& name) {
    for (const QByteArray& line : request.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}
