#include "online/httpfetchworker.h"

#include <QFile>

#include <curl/curl.h>

#include <memory>

namespace {

struct CurlHandle {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderList {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

HttpFetchWorker::HttpFetchWorker(HttpRequest request, Mode mode, QObject* parent)
    : QThread(parent)
    , m_request(std::move(request))
    , m_mode(mode) {}

QByteArray HttpFetchWorker::effectiveUrl(const QString& url) {
    const QString trimmed = url.trimmed();
    if (trimmed.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
        trimmed.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive))
        return trimmed.toUtf8();
    return QByteArrayLiteral("http://") + trimmed.toUtf8();
}

size_t HttpFetchWorker::receive(char* data, size_t size, size_t count, void* self) {
    auto* worker = static_cast<HttpFetchWorker*>(self);
    const size_t length = size * count;
    if (worker->m_stop || !worker->appendBlock(data, qint64(length)))
        return 0; // makes libcurl end the transfer
    return length;
}

int HttpFetchWorker::transferInfo(void* self, qint64, qint64, qint64, qint64) {
    return static_cast<HttpFetchWorker*>(self)->m_stop ? 1 : 0;
}

bool HttpFetchWorker::appendBlock(const char* data, qint64 length) {
    if (m_mode == Mode::Text) {
        if (m_result.size() + length > m_request.MaxTextBytes)
            return false;
        m_result.append(data, length);
    } else if (!m_file || m_file->write(data, length) != length)
        return false;
    m_bytesRead += length;
    Q_EMIT progress(m_fileSize, m_bytesRead);
    return true;
}

QString HttpFetchWorker::transferError(int code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QStringLiteral("the server's name could not be resolved (no network?)");
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("the server could not be reached");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("the server did not answer in time");
    case CURLE_FILESIZE_EXCEEDED:
        return QStringLiteral("the answer was longer than expected");
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("the secure connection to the server failed");
    default:
        return QStringLiteral("the transfer failed: ") +
               QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
    }
}

void HttpFetchWorker::run() {
    if (m_stop) {
        fail(QStringLiteral("the fetch was stopped"));
        return;
    }
    std::unique_ptr<CURL, CurlHandle> curl(curl_easy_init());
    if (!curl) {
        fail(QStringLiteral("the connection could not be set up"));
        return;
    }
    CURL* c = curl.get();
    const QByteArray url = effectiveUrl(m_request.URL);
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    // Only web addresses, and only the one asked: a redirect is never followed (it would let
    // another host, or plain http after https, give the answer).
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);

    const QByteArray agent = m_request.Agent.toUtf8();
    if (!agent.isEmpty())
        curl_easy_setopt(c, CURLOPT_USERAGENT, agent.constData());
    const QByteArray referer = m_request.Referer.toUtf8();
    if (!referer.isEmpty())
        curl_easy_setopt(c, CURLOPT_REFERER, referer.constData());
    const QByteArray user = m_request.UserName.toUtf8();
    const QByteArray password = m_request.Password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }

    curl_slist* list = nullptr;
    const QByteArray accept = QByteArrayLiteral("Accept: ") + m_request.AcceptTypes.toUtf8();
    list = curl_slist_append(list, accept.constData());
    if (!m_request.UseCache) {
        list = curl_slist_append(list, "Cache-Control: no-cache");
        list = curl_slist_append(list, "Pragma: no-cache");
    }
    const QByteArray body = m_request.PostQuery.toUtf8();
    if (!body.isEmpty()) {
        list = curl_slist_append(list, "Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, long(body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.constData());
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    std::unique_ptr<curl_slist, HeaderList> headers(list);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    // A server that accepts the connection and then sends nothing must not hold the worker.
    const long timeout = qMax(1, m_request.TimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, timeout);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(qMax(1, m_request.DeadlineSeconds)));
    // A declared length over the bound ends the fetch before any of the body is read.
    if (m_mode == Mode::Text)
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_request.MaxTextBytes));

    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &HttpFetchWorker::receive);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &HttpFetchWorker::transferInfo);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    QFile file(m_request.FileName);
    if (m_mode == Mode::File) {
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            fail(QStringLiteral("the file could not be written: ") + file.errorString());
            return;
        }
        m_file = &file;
    }

    const CURLcode code = curl_easy_perform(c);
    m_file = nullptr;
    if (m_stop) {
        fail(QStringLiteral("the fetch was stopped"));
        return;
    }

    curl_off_t length = -1;
    curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    const bool hasLength = code == CURLE_OK && length >= 0;
    if (hasLength)
        m_fileSize = qint64(length);
    if (m_request.BinaryData && !hasLength) {
        fail(code == CURLE_OK ? QStringLiteral("the server did not say how long its answer is")
                              : transferError(code));
        return;
    }
    // The status code is not looked at, except that a redirect is no answer: an error page with
    // a body is an answer too. A transfer that broke off (time-out, reset, an answer over the
    // bound) is a failure, not a shortened answer.
    if (code != CURLE_OK) {
        // An answer over the bound ends in a write error: that is its length, not the network.
        fail(code == CURLE_WRITE_ERROR && m_mode == Mode::Text ? transferError(CURLE_FILESIZE_EXCEEDED)
                                                               : transferError(code));
        return;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 300 && status < 400) {
        fail(QStringLiteral("the server sent the request elsewhere (HTTP %1), which is not followed")
                 .arg(status));
        return;
    }
    m_success = m_mode == Mode::Text ? m_bytesRead > 0 : m_bytesRead == m_fileSize;
    if (m_success)
        m_errorText.clear();
    else
        fail(m_mode == Mode::Text ? QStringLiteral("the server sent an empty answer")
                                  : QStringLiteral("the answer was cut short"));
}
