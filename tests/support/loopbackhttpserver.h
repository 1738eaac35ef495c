#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

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
    // Answers 200 with a body of `size` bytes made as the connection takes them, so that a
    // large answer costs this process next to no memory.
    void answerWithLargeBody(qint64 size, bool withContentLength);
    // Answers 200 and then sends one byte of body every `interval`, without end.
    void trickle(std::chrono::milliseconds interval);
    // Answers with a redirect to `location`.
    void redirectTo(const QByteArray& location, int status = 302);

    QList<QByteArray> requests;
    // The first line of the request head, without its line break.
    static QByteArray requestLine(const QByteArray& request);
    // The value of a header (name case-insensitive), or a null array.
    static QByteArray header(const QByteArray& request, const QByteArray& name);

private:
    void onConnection();
    void onReadable(QTcpSocket* socket);
    void sendMore(QTcpSocket* socket);

    enum class Mode { Fixed, Large, Trickle };

    QTcpServer* m_server;
    QByteArray m_response;
    bool m_silent = false;
    Mode m_mode = Mode::Fixed;
    qint64 m_largeSize = 0;
    std::chrono::milliseconds m_interval{0};
};
