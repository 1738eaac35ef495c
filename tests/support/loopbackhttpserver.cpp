#include "loopbackhttpserver.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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
    m_mode = Mode::Fixed;
}

void LoopbackHttpServer::answerWithLargeBody(qint64 size, bool withContentLength) {
    answerWith(200, QByteArray(), false);
    if (withContentLength)
        m_response.insert(m_response.size() - 2, "Content-Length: " + QByteArray::number(size) + "\r\n");
    m_mode = Mode::Large;
    m_largeSize = size;
}

void LoopbackHttpServer::trickle(std::chrono::milliseconds interval) {
    answerWith(200, QByteArray(), false);
    m_mode = Mode::Trickle;
    m_interval = interval;
}

void LoopbackHttpServer::redirectTo(const QByteArray& location, int status) {
    const QByteArray body = "Moved to " + location;
    m_response = "HTTP/1.0 " + QByteArray::number(status) + " Moved\r\nLocation: " + location +
                 "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
                 "\r\n\r\n" + body;
    m_mode = Mode::Fixed;
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
    switch (m_mode) {
    case Mode::Fixed:
        socket->disconnectFromHost();
        break;
    case Mode::Large:
        socket->setProperty("left", m_largeSize);
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { sendMore(socket); });
        sendMore(socket);
        break;
    case Mode::Trickle: {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x", 1); });
        timer->start(m_interval);
        break;
    }
    }
}

void LoopbackHttpServer::sendMore(QTcpSocket* socket) {
    constexpr qint64 piece = 64 * 1024;
    qint64 left = socket->property("left").toLongLong();
    // Keeps a few pieces queued, never the whole body.
    while (left > 0 && socket->bytesToWrite() < 4 * piece) {
        const qint64 n = qMin(piece, left);
        socket->write(QByteArray(n, 'x'));
        left -= n;
    }
    socket->setProperty("left", left);
    // Closes once the rest has gone out.
    if (left == 0)
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
