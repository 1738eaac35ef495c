#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The project's web service (tools/webservice/server.py) on 127.0.0.1, run for one test
// with its own newest-version file, reports folder and request log.
class ReferenceServer {
public:
    ReferenceServer();
    ~ReferenceServer();

    // Starts the server; false (with the reason in error()) when it did not come up.
    bool start();
    QString error() const { return m_error; }
    // "127.0.0.1:<port>", as QUORALIS_SERVER takes it.
    QString address() const { return m_address; }

    void setLatest(const QString& version, const QString& download, const QString& message = QString());
    // The stored reports, oldest first, and every request seen (request line, headers).
    QList<QJsonObject> reports() const;
    QList<QJsonObject> requests() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
    QString m_error;
};
