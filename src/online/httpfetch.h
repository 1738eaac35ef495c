#pragma once

#include "online/httprequest.h"

#include <QObject>
#include <QString>

class HttpFetchWorker;

// Fetches one URL on a worker thread and reports the outcome on the GUI thread, as the
// response body (text or file) or as an error. Owns the running worker, at most one.
class HttpFetch : public QObject {
    Q_OBJECT
public:
    explicit HttpFetch(QObject* parent = nullptr);
    ~HttpFetch() override;

    // The request's properties; a running fetch keeps the copy it started with.
    HttpRequest& properties() { return m_request; }
    const HttpRequest& properties() const { return m_request; }
    // WaitThread: when on, starting a fetch dispatches the events already waiting in the
    // GUI thread's queue before it returns.
    void setWaitThread(bool on) { m_waitThread = on; }
    bool waitThread() const { return m_waitThread; }

    // Starts fetching URL as text; does nothing at all while a fetch is running.
    void GetString();
    // Starts fetching URL into FileName; does nothing at all while a fetch is running.
    void GetFile();
    // Stops a running fetch; it then ends with OnError.
    void Abort();
    bool isRunning() const { return m_worker != nullptr; }
    // The outcome of the last completed fetch.
    bool lastSucceeded() const { return m_success; }
    // Why the last completed fetch failed, in words for the user.
    const QString& errorText() const { return m_errorText; }

Q_SIGNALS:
    void OnProgress(qint64 totalSize, qint64 bytesRead);
    void OnDoneFile(const QString& fileName, qint64 fileSize);
    void OnDoneString(const QString& result);
    void OnError();

private:
    void start(int mode);
    void completeFetch();

    HttpRequest m_request;
    HttpFetchWorker* m_worker = nullptr;
    bool m_waitThread = false;
    bool m_aborted = false;
    bool m_success = false;
    QString m_errorText;
};
