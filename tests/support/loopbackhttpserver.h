#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A small HTTP server on 127.0.0.1 for tests: records each request head as received and
// answers every request with the same raw bytes, or never answers at all.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    LoopbackHttpServer();

    quint16 port() const;
    // "127.0.0.1:<port>"
    QString address() const;
    QString url(const QString& pathAndQuery) const;

    // Answers with the status, a body and, unless told otherwise, a Content-Length header.
    void answerWith(int status, const QByteArray& body, bool withContentLength = true);
    void answerRaw(const QByteArray& response) { m_response = response; }
    // Accepts connections and reads requests, but never sends a byte.
    void neverAnswer() { m_silent = true; }

    QList<QByteArray> requests;
    // The first line of the request head, without its line break.
    static QByteArray requestLine(const QByteArray& request);
    // The value of a header (name case-insensitive), or a null array.
    static QByteArray header(const QByteArray& request, const QByteArray& name);

private:
    void onConnection();
    void onReadable(QTcpSocket* socket);

    QTcpServer* m_server;
    QByteArray m_response;
    bool m_silent = false;
};
