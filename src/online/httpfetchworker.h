#pragma once

#include "online/httprequest.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>

// The worker of one fetch: performs the request on its own thread with libcurl and keeps
// the outcome for the component to collect on the GUI thread.
class HttpFetchWorker : public QThread {
    Q_OBJECT
public:
    enum class Mode { Text, File };

    HttpFetchWorker(HttpRequest request, Mode mode, QObject* parent = nullptr);

    // Asks the transfer to stop at its next step; the fetch then fails.
    void requestStop() { m_stop = true; }

    // Valid once the thread has finished.
    bool success() const { return m_success; }
    const QByteArray& result() const { return m_result; }
    qint64 fileSize() const { return m_fileSize; }
    qint64 bytesRead() const { return m_bytesRead; }
    Mode mode() const { return m_mode; }
    // Why the fetch failed, in words for the user; empty after a success.
    const QString& errorText() const { return m_errorText; }
    const QString& fileName() const { return m_request.FileName; }

    // The address libcurl is given: a URL without a scheme is taken as http.
    static QByteArray effectiveUrl(const QString& url);

Q_SIGNALS:
    // After each block read; total is the Content-Length (0 when the server gave none).
    void progress(qint64 total, qint64 read);

protected:
    void run() override;

private:
    static size_t receive(char* data, size_t size, size_t count, void* self);
    static int transferInfo(void* self, qint64, qint64, qint64, qint64);
    bool appendBlock(const char* data, qint64 length);
    void fail(const QString& reason) { m_errorText = reason; }
    static QString transferError(int code);

    const HttpRequest m_request;
    const Mode m_mode;
    std::atomic<bool> m_stop = false;
    bool m_success = false;
    QString m_errorText = QStringLiteral("the fetch did not run");
    QByteArray m_result;
    qint64 m_fileSize = 0;
    qint64 m_bytesRead = 0;
    class QFile* m_file = nullptr;
};
