#include "loopbackhttpserver.h"
#include "online/httpfetch.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

// The fetch component against a real HTTP server on the loopback address.
class TestHttpGet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestCarriesProtocolAgentAndCacheHeaders();
    void useCacheAndEmptyAgentLeaveTheirHeadersOut();
    void onlyALeadingSchemeIsTakenFromTheUrl();
    void proxyFromTheEnvironmentIsUsed();
    void bodyDecidesTheOutcome_data();
    void bodyDecidesTheOutcome();
    void refusedConnectionFails();
    void serverThatNeverAnswersFailsAfterTheTimeout();
    void secondGetStringWhileRunningSendsNothing();
    void abortEndsWithErrorAndKeepsTheStartedRequest();
    void fileModeWritesTheBody();
    void httpsChecksTheCertificate();
    void oversizedAnswerFailsWithoutBeingKept_data();
    void oversizedAnswerFailsWithoutBeingKept();
    void answerUpToTheBoundArrivesWhole();
    void tricklingServerFailsAtTheDeadline();
    void redirectsAreNotFollowed_data();
    void redirectsAreNotFollowed();
};

namespace {

struct Outcome {
    bool done = false;
    bool failed = false;
    QString text;
};

// Runs one text fetch to its end.
Outcome fetch(HttpFetch& http) {
    QSignalSpy done(&http, &HttpFetch::OnDoneString);
    QSignalSpy error(&http, &HttpFetch::OnError);
    http.GetString();
    [&] {
        QTRY_VERIFY_WITH_TIMEOUT(done.count() + error.count() > 0, 20000);
    }();
    Outcome o;
    o.done = done.count() == 1;
    o.failed = error.count() == 1;
    if (o.done)
        o.text = done.at(0).at(0).toString();
    return o;
}

// The peak resident memory of this process so far, in bytes (0 where unknown).
qint64 peakResident() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

// Starts counting the peak anew from the present size.
bool resetPeakResident() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

void TestHttpGet::requestCarriesProtocolAgentAndCacheHeaders() {
    LoopbackHttpServer server;
    server.answerWith(200, "fine");
    HttpFetch http;
    http.properties().URL =
        server.url(QStringLiteral("/php/versioncheck.php?program=Quoralis2005&version=1.0.0.1"));
    const Outcome o = fetch(http);
    QVERIFY(o.done);
    QCOMPARE(o.text, QStringLiteral("fine"));
    QCOMPARE(server.requests.size(), 1);
    const QByteArray request = server.requests.first();
    QCOMPARE(LoopbackHttpServer::requestLine(request),
             QByteArray("GET /php/versioncheck.php?program=Quoralis2005&version=1.0.0.1 HTTP/1.0"));
    // The port written in the URL is the one connected to, and named in Host.
    QCOMPARE(LoopbackHttpServer::header(request, "Host"), server.address().toLatin1());
    QCOMPARE(LoopbackHttpServer::header(request, "User-Agent"), QByteArray("Quoralis2005"));
    QCOMPARE(LoopbackHttpServer::header(request, "Accept"), QByteArray("*/*"));
    QCOMPARE(LoopbackHttpServer::header(request, "Cache-Control"), QByteArray("no-cache"));
    QCOMPARE(LoopbackHttpServer::header(request, "Pragma"), QByteArray("no-cache"));
}

void TestHttpGet::useCacheAndEmptyAgentLeaveTheirHeadersOut() {
    LoopbackHttpServer server;
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/"));
    http.properties().UseCache = true;
    http.properties().Agent.clear();
    http.properties().AcceptTypes = QStringLiteral("text/plain");
    QVERIFY(fetch(http).done);
    const QByteArray request = server.requests.value(0);
    QVERIFY(LoopbackHttpServer::header(request, "Cache-Control").isNull());
    QVERIFY(LoopbackHttpServer::header(request, "Pragma").isNull());
    QVERIFY(LoopbackHttpServer::header(request, "User-Agent").isNull());
    QCOMPARE(LoopbackHttpServer::header(request, "Accept"), QByteArray("text/plain"));
}

void TestHttpGet::onlyALeadingSchemeIsTakenFromTheUrl() {
    LoopbackHttpServer server;
    HttpFetch http;
    // A second "http://" inside the query stays where it is.
    http.properties().URL = server.url(QStringLiteral("/go?next=http://elsewhere/x"));
    QVERIFY(fetch(http).done);
    QCOMPARE(LoopbackHttpServer::requestLine(server.requests.value(0)),
             QByteArray("GET /go?next=http://elsewhere/x HTTP/1.0"));
    // Without a scheme the address is taken as http.
    http.properties().URL = server.address() + QStringLiteral("/plain");
    QVERIFY(fetch(http).done);
    QCOMPARE(LoopbackHttpServer::requestLine(server.requests.value(1)), QByteArray("GET /plain HTTP/1.0"));
}

void TestHttpGet::proxyFromTheEnvironmentIsUsed() {
    LoopbackHttpServer proxy;
    qputenv("http_proxy", proxy.url(QStringLiteral("/")).toLatin1());
    HttpFetch http;
    http.properties().URL = QStringLiteral("http://updates.example.invalid/php/versioncheck.php?v=1");
    const Outcome o = fetch(http);
    qunsetenv("http_proxy");
    QVERIFY(o.done);
    QCOMPARE(LoopbackHttpServer::requestLine(proxy.requests.value(0)),
             QByteArray("GET http://updates.example.invalid/php/versioncheck.php?v=1 HTTP/1.0"));
}

void TestHttpGet::bodyDecidesTheOutcome_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("withLength");
    QTest::addColumn<bool>("binaryData");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("404 with a page is an answer")
        << 404 << QByteArray("<html>Not here</html>") << true << false << true;
    QTest::newRow("no Content-Length, whole body") << 200 << QByteArray(5000, 'x') << false << false << true;
    QTest::newRow("empty body") << 200 << QByteArray() << true << false << false;
    QTest::newRow("binary data needs a length") << 200 << QByteArray("data") << false << true << false;
    QTest::newRow("binary data with a length") << 200 << QByteArray("data") << true << true << true;
}

void TestHttpGet::bodyDecidesTheOutcome() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, withLength);
    QFETCH(bool, binaryData);
    QFETCH(bool, succeeds);
    LoopbackHttpServer server;
    server.answerWith(status, body, withLength);
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/answer"));
    http.properties().BinaryData = binaryData;
    const Outcome o = fetch(http);
    QCOMPARE(o.done, succeeds);
    QCOMPARE(o.failed, !succeeds);
    QCOMPARE(http.lastSucceeded(), succeeds);
    if (succeeds)
        QCOMPARE(o.text.toUtf8(), body);
}

void TestHttpGet::refusedConnectionFails() {
    HttpFetch http;
    http.properties().URL =
        QStringLiteral("http://127.0.0.1:") + QString::number(closedPort()) + QStringLiteral("/x");
    const Outcome o = fetch(http);
    QVERIFY(o.failed);
    QVERIFY(!http.isRunning());
}

void TestHttpGet::serverThatNeverAnswersFailsAfterTheTimeout() {
    LoopbackHttpServer server;
    server.neverAnswer();
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/slow"));
    http.properties().TimeoutSeconds = 1;
    const Outcome o = fetch(http);
    QVERIFY(o.failed);
    QCOMPARE(server.requests.size(), 1);
    // The component is free again.
    QVERIFY(!http.isRunning());
}

void TestHttpGet::secondGetStringWhileRunningSendsNothing() {
    LoopbackHttpServer server;
    HttpFetch http;
    QSignalSpy done(&http, &HttpFetch::OnDoneString);
    http.properties().URL = server.url(QStringLiteral("/first"));
    http.GetString();
    http.properties().URL = server.url(QStringLiteral("/second"));
    http.GetString();
    QTRY_COMPARE(done.count(), 1);
    // A later fetch goes out; by its answer a second request of the pair would have arrived.
    http.properties().URL = server.url(QStringLiteral("/third"));
    http.GetString();
    QTRY_COMPARE(done.count(), 2);
    QCOMPARE(server.requests.size(), 2);
    QCOMPARE(LoopbackHttpServer::requestLine(server.requests.at(0)), QByteArray("GET /first HTTP/1.0"));
    QCOMPARE(LoopbackHttpServer::requestLine(server.requests.at(1)), QByteArray("GET /third HTTP/1.0"));
}

void TestHttpGet::abortEndsWithErrorAndKeepsTheStartedRequest() {
    LoopbackHttpServer server;
    server.neverAnswer();
    HttpFetch http;
    QSignalSpy done(&http, &HttpFetch::OnDoneString);
    QSignalSpy error(&http, &HttpFetch::OnError);
    http.properties().URL = server.url(QStringLiteral("/started"));
    http.GetString();
    http.properties().URL = server.url(QStringLiteral("/changed-later"));
    QTRY_COMPARE(server.requests.size(), 1);
    QCOMPARE(LoopbackHttpServer::requestLine(server.requests.first()), QByteArray("GET /started HTTP/1.0"));
    http.Abort();
    QTRY_COMPARE(error.count(), 1);
    QCOMPARE(done.count(), 0);
    QVERIFY(!http.isRunning());
}

void TestHttpGet::fileModeWritesTheBody() {
    LoopbackHttpServer server;
    server.answerWith(200, QByteArray(3000, 'z'));
    QTemporaryDir dir;
    HttpFetch http;
    QSignalSpy file(&http, &HttpFetch::OnDoneFile);
    http.properties().URL = server.url(QStringLiteral("/file"));
    http.properties().FileName = dir.filePath(QStringLiteral("download.bin"));
    http.GetFile();
    QTRY_COMPARE(file.count(), 1);
    QCOMPARE(file.at(0).at(1).toLongLong(), 3000);
    QFile written(http.properties().FileName);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray(3000, 'z'));
}

void TestHttpGet::httpsChecksTheCertificate() {
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
    if (!openssl.waitForStarted())
        QSKIP("openssl is not installed");
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);

    QProcess server;
    server.start(QStringLiteral("python3"),
                 {qEnvironmentVariable("QUORALIS_SOURCE_DIR") + QStringLiteral("/tests/online/tlsserver.py"),
                  cert, key});
    QVERIFY(server.waitForReadyRead(20000));
    const QByteArray port = server.readLine().trimmed();
    HttpFetch http;
    http.properties().URL =
        QStringLiteral("https://127.0.0.1:") + QString::fromLatin1(port) + QStringLiteral("/");
    const Outcome o = fetch(http);
    // TLS was spoken on the port of the URL, and the self-signed certificate was refused.
    QVERIFY(o.failed);
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += server.readAllStandardOutput()).contains('\n'), 20000);
    server.kill();
    server.waitForFinished();
    QVERIFY2(output.contains("UNKNOWN_CA") || output.contains("unknown ca"), output.constData());
}

void TestHttpGet::oversizedAnswerFailsWithoutBeingKept_data() {
    QTest::addColumn<bool>("withLength");
    QTest::newRow("declared 30 MB") << true;
    QTest::newRow("30 MB without a length") << false;
}

void TestHttpGet::oversizedAnswerFailsWithoutBeingKept() {
    QFETCH(bool, withLength);
    LoopbackHttpServer server;
    server.answerWithLargeBody(30 * 1024 * 1024, withLength);
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/huge"));
    const bool peakKnown = resetPeakResident();
    const qint64 before = peakResident();
    const Outcome o = fetch(http);
    const qint64 rise = peakResident() - before;
    QVERIFY(o.failed);
    QVERIFY(!http.isRunning());
    if (peakKnown)
        QVERIFY2(rise < 50 * 1024 * 1024, qPrintable(QStringLiteral("peak rose by %1 bytes").arg(rise)));
}

void TestHttpGet::answerUpToTheBoundArrivesWhole() {
    LoopbackHttpServer server;
    const QByteArray body(64 * 1024, 'a');
    server.answerWith(200, body, false);
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/bound"));
    const Outcome o = fetch(http);
    QVERIFY(o.done);
    QCOMPARE(o.text.toUtf8(), body);
    // One byte more is too much.
    server.answerWith(200, body + 'a', false);
    QVERIFY(fetch(http).failed);
}

void TestHttpGet::tricklingServerFailsAtTheDeadline() {
    // Fast enough never to count as stalled, too slow ever to end.
    LoopbackHttpServer server;
    server.trickle(std::chrono::milliseconds(100));
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/trickle"));
    http.properties().TimeoutSeconds = 1;
    http.properties().DeadlineSeconds = 2;
    const Outcome o = fetch(http);
    QVERIFY(o.failed);
    QVERIFY(!http.isRunning());
}

void TestHttpGet::redirectsAreNotFollowed_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("status");
    // "localhost" names another host than the 127.0.0.1 that was asked.
    QTest::newRow("to another host") << QStringLiteral("http://localhost:%1/latest.txt") << 302;
    QTest::newRow("to the same host, permanently") << QStringLiteral("http://127.0.0.1:%1/moved") << 301;
    QTest::newRow("relative") << QStringLiteral("/moved") << 307;
}

void TestHttpGet::redirectsAreNotFollowed() {
    QFETCH(QString, target);
    QFETCH(int, status);
    LoopbackHttpServer elsewhere;
    elsewhere.answerWith(200, "http://127.0.0.1:1/installer.exe");
    LoopbackHttpServer server;
    server.redirectTo(target.arg(elsewhere.port()).toLatin1(), status);
    HttpFetch http;
    http.properties().URL = server.url(QStringLiteral("/php/versioncheck.php"));
    const Outcome o = fetch(http);
    QVERIFY(o.failed);
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(elsewhere.requests.isEmpty());
}

QTEST_MAIN(TestHttpGet)
#include "tst_httpget.moc"
