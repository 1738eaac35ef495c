#include "online/httpfetch.h"

#include "online/httpfetchworker.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <mutex>

HttpFetch::HttpFetch(QObject* parent)
    : QObject(parent) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpFetch::~HttpFetch() {
    if (!m_worker)
        return;
    // The worker notices the stop request within its next transfer step.
    m_worker->requestStop();
    m_worker->wait();
    delete m_worker;
}

void HttpFetch::GetString() {
    start(int(HttpFetchWorker::Mode::Text));
}

void HttpFetch::GetFile() {
    start(int(HttpFetchWorker::Mode::File));
}

void HttpFetch::start(int mode) {
    if (m_worker)
        return;
    m_aborted = false;
    m_worker = new HttpFetchWorker(m_request, HttpFetchWorker::Mode(mode));
    connect(m_worker, &HttpFetchWorker::progress, this, &HttpFetch::OnProgress, Qt::QueuedConnection);
    connect(m_worker, &QThread::finished, this, &HttpFetch::completeFetch, Qt::QueuedConnection);
    m_worker->start();
    if (m_waitThread)
        QCoreApplication::processEvents();
}

void HttpFetch::Abort() {
    if (!m_worker)
        return;
    m_aborted = true;
    m_worker->requestStop();
}

void HttpFetch::completeFetch() {
    HttpFetchWorker* worker = m_worker;
    if (!worker)
        return;
    m_worker = nullptr;
    m_success = !m_aborted && worker->success();
    m_errorText = m_success   ? QString()
                  : m_aborted ? QStringLiteral("the fetch was stopped")
                              : worker->errorText();
    const bool textMode = worker->mode() == HttpFetchWorker::Mode::Text;
    const QString text = QString::fromUtf8(worker->result());
    const QString fileName = worker->fileName();
    const qint64 size = worker->bytesRead();
    worker->wait();
    delete worker;
    if (!m_success)
        Q_EMIT OnError();
    else if (textMode)
        Q_EMIT OnDoneString(text);
    else
        Q_EMIT OnDoneFile(fileName, size);
}
